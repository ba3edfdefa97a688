#include "frm_Main_Unit.h"

#include "DM_Unit.h"
#include "connection.h"
#include "dataset.h"
#include "error_report.h"
#include "file_lookup.h"
#include "form_setup.h"
#include "frm_PathToBD_Unit.h"
#include "message_box.h"
#include "open_progress.h"
#include "private_profile.h"

#include "db_grid.h"
#include "status_bar.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QMoveEvent>
#include <QShowEvent>
#include <QTabWidget>

#include <iterator>
#include <utility>

using namespace Qt::StringLiterals;

Tfrm_Main *frm_Main = nullptr;

namespace {

enum StatusPanel { CountPanel = 0, PathPanel = 1 };

const QString kCountPrefix = u" Всего записей : "_s;
const QString kPathPrefix = u"Файл БД :  "_s;

const QString kOpenErrorCaption = u"Ошибка"_s;
// The two sentences are joined by a lone carriage return, as the box has
// always shown them.
const QString kOpenErrorHead = u"Невозможно прочитать файл базы данных : "_s;
const QString kOpenErrorTail = u"\rРесурс недоступен или необходимо изменить пусть к файлу БД в настройках программы!"_s;
const QString kConfigReadError = u"#203 Невозможно прочитать файл конфигурации!"_s;

const QString kSection = u"BD"_s;
const QString kKey = u"PathToBD"_s;

constexpr int kDrillsPage = 0;

} // namespace

Tfrm_Main::Tfrm_Main(QWidget *parent)
    : QMainWindow(parent)
    , m_configFile(platform::configFileFor(QCoreApplication::applicationFilePath()))
{
    // The form declares the status bar's panels with their first texts (the
    // count placeholder, the banner) and the debts page as the active one.
    setupUi(this);
    // The form's size is the window's outer size; Qt gives it to the client
    // area. The window is fitted once the frame around it is known.
    m_outerSize = size();
    prepareForm(this);
    connectHandlers();
    FormCreate();
}

void Tfrm_Main::connectHandlers()
{
    connect(PageControl_Main, &QTabWidget::currentChanged, this, reportingErrors([this](int) {
                // A page set by the program itself is not the user's change.
                if (!m_settingPage)
                    PageControl_MainChange();
            }));

    for (QAbstractButton *button : {static_cast<QAbstractButton *>(spbt_RefreshBD),
                                    static_cast<QAbstractButton *>(SpeedButton1),
                                    static_cast<QAbstractButton *>(SpeedButton2),
                                    static_cast<QAbstractButton *>(SpeedButton3),
                                    static_cast<QAbstractButton *>(SpeedButton4)})
        connect(button, &QAbstractButton::clicked, this, reportingErrors([this](bool) { spbt_RefreshBDClick(); }));

    connect(mm_Exit, &QAction::triggered, this, reportingErrors([this](bool) { mm_ExitClick(); }));
    connect(mm_PathToBD, &QAction::triggered, this, reportingErrors([this](bool) { mm_PathToBDClick(); }));
    connect(mm_StopPic, &QAction::triggered, this, reportingErrors([this](bool) { mm_StopPicClick(); }));

    using TitleClick = void (Tfrm_Main::*)(int);
    using DrawCell = void (Tfrm_Main::*)(DBGrid *, QPainter *, const QRect &, int, db::Field *, int, GridCanvas &);
    const struct {
        DBGrid *grid;
        TitleClick titleClick;
        DrawCell drawColumnCell;
    } grids[] = {
        {dbgr_Sverlo, &Tfrm_Main::dbgr_SverloTitleClick, &Tfrm_Main::dbgr_SverloDrawColumnCell},
        {dbgr_Frezy, &Tfrm_Main::dbgr_FrezyTitleClick, &Tfrm_Main::dbgr_FrezyDrawColumnCell},
        {dbgr_Derj_PL, &Tfrm_Main::dbgr_Derj_PLTitleClick, &Tfrm_Main::dbgr_Derj_PLDrawColumnCell},
        {dbgr_Plastinyi, &Tfrm_Main::dbgr_PlastinyiTitleClick, &Tfrm_Main::dbgr_PlastinyiDrawColumnCell},
        {dbgrid_Dolgi, &Tfrm_Main::dbgrid_DolgiTitleClick, &Tfrm_Main::dbgrid_DolgiDrawColumnCell},
    };
    for (const auto &g : grids) {
        connect(g.grid, &DBGrid::titleClick, this,
                reportingErrors([this, handler = g.titleClick](int column) { (this->*handler)(column); }));
        g.grid->setDrawColumnCell([this, handler = g.drawColumnCell](DBGrid *grid, QPainter *painter, const QRect &rect,
                                                                     int column, db::Field *field, int state,
                                                                     GridCanvas &canvas) {
            (this->*handler)(grid, painter, rect, column, field, state, canvas);
        });
    }
}

void Tfrm_Main::setActivePage(int index)
{
    const bool wasSetting = std::exchange(m_settingPage, true);
    PageControl_Main->setCurrentIndex(index);
    m_settingPage = wasSetting;
}

void Tfrm_Main::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_formShown)
        return;
    m_formShown = true;
    fitOuterSize();
    centreOnDesktop();
    // An error ends FormShow there; the window is shown all the same.
    runReportingErrors([this] { FormShow(); });
}

// Some window systems frame a window only after it is first shown (X11 window
// managers reparent it then); the move that follows brings the frame's size.
void Tfrm_Main::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (m_formShown && m_outerSize.isValid()) {
        fitOuterSize();
        if (!m_outerSize.isValid())
            centreOnDesktop();
    }
}

// Gives the window its declared outer size once: the client area shrinks by
// the frame. Until the window has a frame there is nothing to subtract.
void Tfrm_Main::fitOuterSize()
{
    if (!m_outerSize.isValid())
        return;
    const QSize frame = frameGeometry().size() - size();
    if (frame.isNull())
        return;
    resize(m_outerSize - frame);
    m_outerSize = QSize();
}

// Centred on the area spanned by all monitors, not on one of them.
void Tfrm_Main::centreOnDesktop()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect desktop = screen->virtualGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(desktop.center());
    move(frame.topLeft());
}

void Tfrm_Main::FormCreate()
{
    FAppDir = QCoreApplication::applicationDirPath();
    if (!FAppDir.endsWith(u'/'))
        FAppDir += u'/';
}

void Tfrm_Main::FormShow()
{
    ReloadBD();
    setActivePage(kDrillsPage);
    ShowRecCount();
}

void Tfrm_Main::ReloadBD()
{
    // A failed OpenBD may have left the connection and some data sets open.
    if (DM->ADOConnection1->connected())
        DM->CloseBD();
    ReadPathToBD();
    if (platform::fileExists(FPathToBD)) {
        {
            const OpenProgress progress(DM->ADOConnection1, StatusBar1, CountPanel);
            DM->OpenBD(FPathToBD);
        }
        ShowRecCount();
    } else {
        platform::messageBoxes().error(this, kOpenErrorCaption, kOpenErrorHead + FPathToBD + kOpenErrorTail);
    }
}

void Tfrm_Main::ReadPathToBD()
{
    QString path;
    try {
        path = platform::readProfileString(m_configFile, kSection, kKey, QString());
    } catch (const platform::ProfileError &) {
        platform::messageBoxes().plain(kConfigReadError);
        path.clear();
    }
    FPathToBD = path;
    StatusBar1->setPanelText(PathPanel, kPathPrefix + FPathToBD);
}

void Tfrm_Main::ShowRecCount()
{
    db::DataSet *const pageDataSets[] = {DM->dtset_Sverla, DM->dtset_Frezy, DM->dtset_Derj, DM->dtset_Plast,
                                         DM->dtset_Dolgi};
    const int page = PageControl_Main->currentIndex();
    QString count;
    if (page >= 0 && page < int(std::size(pageDataSets)))
        count = QString::number(pageDataSets[page]->recordCount());  // throws while closed
    StatusBar1->setPanelText(CountPanel, kCountPrefix + count);
}

void Tfrm_Main::PageControl_MainChange()
{
    ShowRecCount();
}

void Tfrm_Main::spbt_RefreshBDClick()
{
    ReloadBD();
}

void Tfrm_Main::mm_ExitClick()
{
    close();
}

void Tfrm_Main::mm_PathToBDClick()
{
    frm_PathToBD->exec();
}

// The detail panels load no pictures, so there is nothing to switch off; the
// item only flips its check mark.
void Tfrm_Main::mm_StopPicClick() {}

// The grids keep their query's order: a click on a title changes nothing.
void Tfrm_Main::dbgr_SverloTitleClick(int) {}
void Tfrm_Main::dbgr_FrezyTitleClick(int) {}
void Tfrm_Main::dbgr_Derj_PLTitleClick(int) {}
void Tfrm_Main::dbgr_PlastinyiTitleClick(int) {}
void Tfrm_Main::dbgrid_DolgiTitleClick(int) {}

void Tfrm_Main::dbgr_SverloDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                          db::Field *field, int state, GridCanvas &canvas)
{
    grid->defaultDrawColumnCell(painter, rect, column, field, state, canvas);
}

void Tfrm_Main::dbgr_FrezyDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                         db::Field *field, int state, GridCanvas &canvas)
{
    grid->defaultDrawColumnCell(painter, rect, column, field, state, canvas);
}

void Tfrm_Main::dbgr_Derj_PLDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                           db::Field *field, int state, GridCanvas &canvas)
{
    grid->defaultDrawColumnCell(painter, rect, column, field, state, canvas);
}

void Tfrm_Main::dbgr_PlastinyiDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                             db::Field *field, int state, GridCanvas &canvas)
{
    grid->defaultDrawColumnCell(painter, rect, column, field, state, canvas);
}

void Tfrm_Main::dbgrid_DolgiDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                           db::Field *field, int state, GridCanvas &canvas)
{
    grid->defaultDrawColumnCell(painter, rect, column, field, state, canvas);
}
