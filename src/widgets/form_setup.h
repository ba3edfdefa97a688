// Behaviour the forms declare in their .ui files through dynamic properties,
// applied once after setupUi():
//   "anchors"     e.g. "left,top,right": the widget keeps its right margin
//                 when its parent is resized (edges not named stay put); the
//                 margins are taken against the parent's "designWidth" /
//                 "designHeight" when it declares them, else its size now;
//   fonts         "MS Sans Serif" becomes the nearest installed family;
//   tool tips     hints are kept as toolTip texts but never shown;
//   "dataSource", "dataField": the data binding of grids, edits and memos,
//                 resolved by bindDataControls() once the data module exists.
#pragma once

#include <QString>
#include <functional>

class QWidget;
namespace db { class DataSource; }

void prepareForm(QWidget *root);

// Binds every control under root that names a data source (and a field) to
// it: grids to the model, edits and memos to the field of the data set's
// current record. Field names match without regard to letter case. Bound
// edits and memos are read-only; they are empty while the data set is closed.
void bindDataControls(QWidget *root, const std::function<db::DataSource *(const QString &name)> &sourceByName);
