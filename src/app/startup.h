// Start-up and shut-down of the program's three singletons.
#pragma once

#include <QString>

// Creates, in this order, the main window frm_Main (hidden; its FormCreate
// runs), the data module DM (connection and data sets closed, no file
// touched), binds the window's controls to DM's data sources and creates
// the database-location dialog frm_PathToBD (hidden). Both windows use
// `configFile` as the configuration file. Nothing is shown: the first show
// of frm_Main opens the database.
void createSingletons(const QString &configFile);

// Destroys the three singletons (dialog, data module, main window) and
// clears the globals; nothing is written.
void destroySingletons();
