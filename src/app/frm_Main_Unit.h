// The main window: its life from creation to exit, the status bar texts and
// the reading of the database path from the configuration file. The layout
// comes from forms/frm_Main.ui; every component is a member by its name.
#pragma once

#include "ui_frm_Main.h"

#include <QMainWindow>
#include <QString>

class DBGrid;
struct GridCanvas;
class QPainter;
class QRect;
namespace db { class Field; }

class Tfrm_Main : public QMainWindow, public Ui::Tfrm_Main {
    Q_OBJECT
public:
    explicit Tfrm_Main(QWidget *parent = nullptr);

    // The database file's path as last read from the configuration file or
    // chosen in the database-location dialog; empty when none is known.
    QString FPathToBD;
    // The executable's folder, ending with the path separator.
    QString FAppDir;

    // The configuration file read by ReadPathToBD: the executable's path
    // with ".INI" unless set otherwise (tests point it elsewhere).
    QString configFile() const { return m_configFile; }
    void setConfigFile(const QString &file) { m_configFile = file; }

    void FormCreate();
    void FormShow();
    void ReloadBD();
    void ReadPathToBD();
    void ShowRecCount();

    // Event handlers. Errors they raise are not caught here; the
    // connections hand them to the default error report.
    void PageControl_MainChange();
    void spbt_RefreshBDClick();
    void mm_ExitClick();
    void mm_PathToBDClick();
    void mm_StopPicClick();

    void dbgr_SverloTitleClick(int column);
    void dbgr_FrezyTitleClick(int column);
    void dbgr_Derj_PLTitleClick(int column);
    void dbgr_PlastinyiTitleClick(int column);
    void dbgrid_DolgiTitleClick(int column);

    void dbgr_SverloDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                   db::Field *field, int state, GridCanvas &canvas);
    void dbgr_FrezyDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                  db::Field *field, int state, GridCanvas &canvas);
    void dbgr_Derj_PLDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                    db::Field *field, int state, GridCanvas &canvas);
    void dbgr_PlastinyiDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                      db::Field *field, int state, GridCanvas &canvas);
    void dbgrid_DolgiDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                    db::Field *field, int state, GridCanvas &canvas);

protected:
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void connectHandlers();
    void rankSortsAhead();
    void describeForScreenReaders();
    void setActivePage(int index);
    void fitOuterSize();
    void centreOnDesktop();

    QString m_configFile;
    // The outer size the form declares, until the window has been fitted to it.
    QSize m_outerSize;
    bool m_formShown = false;
    bool m_settingPage = false;
};

extern Tfrm_Main *frm_Main;
