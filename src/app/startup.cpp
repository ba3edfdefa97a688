#include "startup.h"

#include "DM_Unit.h"
#include "form_setup.h"
#include "frm_Main_Unit.h"
#include "frm_PathToBD_Unit.h"

void createSingletons(const QString &configFile)
{
    frm_Main = new Tfrm_Main;
    frm_Main->setConfigFile(configFile);
    // The data module must exist before the main window is first shown,
    // because showing it opens the database through it.
    DM = new TDM;
    bindDataControls(frm_Main, [](const QString &name) { return DM->dataSourceByName(name); });
    frm_PathToBD = new Tfrm_PathToBD(frm_Main->FPathToBD, configFile, frm_Main);
}

void destroySingletons()
{
    // The dialog is a child of the main window and goes with it; the grids
    // and edits drop their models before the data module goes.
    delete frm_Main;
    frm_Main = nullptr;
    frm_PathToBD = nullptr;
    delete DM;
    DM = nullptr;
}
