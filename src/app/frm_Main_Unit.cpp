#include "frm_Main_Unit.h"

#include "DM_Unit.h"
#include "command_line.h"
#include "connection.h"
#include "data_source.h"
#include "dataset.h"
#include "error_report.h"
#include "file_lookup.h"
#include "form_setup.h"
#include "frm_PathToBD_Unit.h"
#include "message_box.h"
#include "open_progress.h"
#include "picture_file.h"
#include "private_profile.h"

#include "colors.h"
#include "db_grid.h"
#include "image_view.h"
#include "status_bar.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QMoveEvent>
#include <QPainter>
#include <QShowEvent>
#include <QTabWidget>

#include <iterator>
#include <utility>

using namespace Qt::StringLiterals;

Tfrm_Main *frm_Main = nullptr;

namespace {

enum StatusPanel { CountPanel = 0, PathPanel = 1, BannerPanel = 2 };

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
    // The form declares the status bar's panels with the count placeholder
    // and the debts page as the active one; the banner carries the version
    // and build the build system sets, which --version prints too.
    setupUi(this);
    StatusBar1->setPanelText(BannerPanel, statusBanner());
    // The form's size is the window's outer size; Qt gives it to the client
    // area. The window is fitted once the frame around it is known.
    m_outerSize = size();
    prepareForm(this);
    describeForScreenReaders();
    connectHandlers();
    FormCreate();
}

// The form names the edits by their labels (buddies) and the tool buttons
// by their hints; what is left is named here: each grid after its
// page, each picture view by what it shows (nothing yet).
void Tfrm_Main::describeForScreenReaders()
{
    for (int page = 0; page < PageControl_Main->count(); ++page) {
        for (DBGrid *grid : PageControl_Main->widget(page)->findChildren<DBGrid *>())
            grid->setAccessibleName(PageControl_Main->tabText(page));
    }
    for (ImageView *view : findChildren<ImageView *>())
        view->setAccessibleDescription(noPictureText(QString()));
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
        rankSortsAhead();
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

// Runs after the item has flipped its check mark. Switching pictures off
// shows "null_img_2.jpg" in the drills view only; the other views keep their
// last pictures. Switching them on again changes nothing until each page's
// next record change.
void Tfrm_Main::mm_StopPicClick()
{
    if (!mm_StopPic->isChecked())
        return;
    const QString path = FAppDir + u"Images\\NoFoto\\null_img_2.jpg"_s;
    if (platform::fileExists(path)) {
        loadPicture(im_PicSv, path);
        im_PicSv->setVisible(true);
    } else {
        im_PicSv->setVisible(false);
    }
    im_PicSv->setAccessibleDescription(picturesOffText());
}

namespace {

// One entry of a grid's sort table: the field name a clicked column is
// compared with (letter case ignored) and the key list the data set sorts by.
struct SortEntry {
    QLatin1StringView column;
    const char16_t *keys;
};

constexpr SortEntry kDrillSorts[] = {
    {"Type"_L1, u"Type,Diam_Sverla,KOD"},
    {"KOD"_L1, u"KOD"},
    {"Diam_Sverla"_L1, u"Diam_Sverla,KOD"},
    {"Diam_Hvost"_L1, u"Diam_Hvost,KOD"},
    {"L_Instr"_L1, u"L_Instr,Diam_Sverla,KOD"},
    {"L_reza"_L1, u"L_reza,Diam_Sverla,KOD"},
    {"K_vo_New"_L1, u"K_vo_New,Diam_Sverla,KOD"},
    {"K_vo_BU"_L1, u"K_vo_BU,Diam_Sverla,KOD"},
    {"K_vo_Dolg"_L1, u"K_vo_Dolg,Diam_Sverla,KOD"},
    {"Name"_L1, u"Name,Diam_Sverla,KOD"},
    {"Korob"_L1, u"Korob,Diam_Sverla,KOD"},
};

constexpr SortEntry kCutterSorts[] = {
    {"Type"_L1, u"Type,Diam_Frez,KOD"},
    {"KOD"_L1, u"KOD"},
    {"Diam_Frez"_L1, u"Diam_Frez,KOD"},
    {"Diam_Hvost"_L1, u"Diam_Hvost,KOD"},
    {"L_Instr"_L1, u"L_Instr,Diam_Frez,KOD"},
    {"L_reza"_L1, u"L_reza,Diam_Frez,KOD"},
    {"N_zub"_L1, u"N_zub,Diam_Frez,KOD"},
    {"R_FAS_instr"_L1, u"R_FAS_instr,Diam_Frez,KOD"},
    {"K_vo_New"_L1, u"K_vo_New,Diam_Frez,KOD"},
    {"K_vo_BU"_L1, u"K_vo_BU,Diam_Frez,KOD"},
    {"K_vo_Dolg"_L1, u"K_vo_Dolg,Diam_Frez,KOD"},
    {"Name"_L1, u"Name,Diam_Frez,KOD"},
    {"Korob"_L1, u"Korob,Diam_Frez,KOD"},
};

constexpr SortEntry kHolderSorts[] = {
    {"Derj_Name"_L1, u"Derj_Name,KOD"},
    {"KOD"_L1, u"KOD"},
    {"K_vo_New"_L1, u"K_vo_New,KOD"},
    {"K_vo_BU"_L1, u"K_vo_BU,KOD"},
    {"K_vo_Dolg"_L1, u"K_vo_Dolg,KOD"},
    {"Name"_L1, u"Name,KOD"},
    {"Korob"_L1, u"Korob,Name,KOD"},
};

constexpr SortEntry kInsertSorts[] = {
    {"Naimenovanie"_L1, u"Naimenovanie,KOD"},
    {"KOD"_L1, u"KOD"},
    {"K_vo_New"_L1, u"K_vo_New,KOD"},
    {"K_vo_BU"_L1, u"K_vo_BU,KOD"},
    {"K_vo_Dolg"_L1, u"K_vo_Dolg,KOD"},
    {"Name"_L1, u"Name,KOD"},
    {"Korob"_L1, u"Korob,Name,KOD"},
};

// FIO_AdminBD has no entry: its title is marked, the order stays.
constexpr SortEntry kDebtSorts[] = {
    {"Nomer_zap"_L1, u"Nomer_zap"},
    {"Tabl_Name"_L1, u"Tabl_Name,Nomer_zap"},
    {"KOD"_L1, u"KOD"},
    {"Date"_L1, u"Date,Nomer_zap"},
    {"FIO"_L1, u"FIO,KOD"},
    {"K_vo"_L1, u"K_vo,KOD"},
    {"Instr_is_BU"_L1, u"Instr_is_BU,KOD"},
};

template<std::size_t N>
QStringList keyListsOf(const SortEntry (&table)[N])
{
    QStringList keyLists;
    for (const SortEntry &entry : table)
        keyLists.append(QString::fromUtf16(entry.keys));
    return keyLists;
}

// The busy cursor while a title click re-sorts; gone before an error it
// lets out is reported.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Re-sorts the grid's data set by the clicked column's entry, marks that
// title as the sorted one and brings the record that was current back.
template<std::size_t N>
void sortByTitle(DBGrid *grid, db::DataSet *dataSet, db::Field *id, const SortEntry (&table)[N], int column)
{
    const BusyCursor busy;
    const qint32 remembered = id->asInteger();
    for (int c = 0; c < grid->columnCount(); ++c)
        grid->setTitleColor(c, clBtnFace);
    const db::Field *clicked = grid->columnField(column);
    const QString name = clicked ? clicked->fieldName() : QString();
    for (const SortEntry &entry : table) {
        if (name.compare(entry.column, Qt::CaseInsensitive) == 0)
            dataSet->setSort(QString::fromUtf16(entry.keys));
    }
    grid->setTitleColor(column, clYellow);
    dataSet->locate(u"ID"_s, remembered);  // throws while the data set is closed
}

// Every grid's cell painting marks the sorted column first and bands rows
// and highlights the current row last; the tool pages' zero-stock red comes
// between, so red shows on every background but the current row's.
void markSortedColumn(DBGrid *grid, int column, int state, GridCanvas &canvas)
{
    if (grid->titleColor(column) == clYellow && !(state & (gdFocused | gdSelected))) {
        canvas.font.setBold(true);
        canvas.font.setItalic(false);
        canvas.font.setUnderline(false);
        canvas.font.setStrikeOut(false);
        canvas.brushColor = clSilver;
    }
}

void bandAndMarkCurrent(DBGrid *grid, int state, GridCanvas &canvas)
{
    if (grid->dataSource()->dataSet()->recNo() % 2 == 0 && !(state & (gdFocused | gdSelected)))
        canvas.brushColor = clMoneyGreen;
    if (state & gdSelected) {
        canvas.brushColor = clMenuHighlight;
        canvas.fontColor = clWhite;
    }
}

// A tool page's cell: red text when neither new nor used stock is left
// (exactly 0; null counts as 0, a negative quantity does not).
void drawToolCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column, db::Field *field, int state,
                  GridCanvas &canvas, const db::Field *newStock, const db::Field *usedStock)
{
    markSortedColumn(grid, column, state, canvas);
    if (newStock->asInteger() == 0 && usedStock->asInteger() == 0)
        canvas.fontColor = clRed;
    bandAndMarkCurrent(grid, state, canvas);
    grid->defaultDrawColumnCell(painter, rect, column, field, state, canvas);
}

constexpr int kWordLeft = 5;
constexpr int kWordTop = 2;

} // namespace

// The drills' and the debts' titles (the largest data sets; the drills'
// page shows first) find their sort keys ranked when the user clicks, unless
// the user is quicker than an otherwise idle processor.
void Tfrm_Main::rankSortsAhead()
{
    if (DM->dtset_Sverla->active())
        DM->dtset_Sverla->rankAhead(keyListsOf(kDrillSorts));
    if (DM->dtset_Dolgi->active())
        DM->dtset_Dolgi->rankAhead(keyListsOf(kDebtSorts));
}

void Tfrm_Main::dbgr_SverloTitleClick(int column)
{
    sortByTitle(dbgr_Sverlo, DM->dtset_Sverla, DM->dtset_SverlaID, kDrillSorts, column);
}

void Tfrm_Main::dbgr_FrezyTitleClick(int column)
{
    sortByTitle(dbgr_Frezy, DM->dtset_Frezy, DM->dtset_FrezyID, kCutterSorts, column);
}

void Tfrm_Main::dbgr_Derj_PLTitleClick(int column)
{
    sortByTitle(dbgr_Derj_PL, DM->dtset_Derj, DM->dtset_DerjID, kHolderSorts, column);
}

void Tfrm_Main::dbgr_PlastinyiTitleClick(int column)
{
    sortByTitle(dbgr_Plastinyi, DM->dtset_Plast, DM->dtset_PlastID, kInsertSorts, column);
}

void Tfrm_Main::dbgrid_DolgiTitleClick(int column)
{
    sortByTitle(dbgrid_Dolgi, DM->dtset_Dolgi, DM->dtset_DolgiID, kDebtSorts, column);
}

void Tfrm_Main::dbgr_SverloDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                          db::Field *field, int state, GridCanvas &canvas)
{
    drawToolCell(grid, painter, rect, column, field, state, canvas, DM->dtset_SverlaK_vo_New, DM->dtset_SverlaK_vo_BU);
}

void Tfrm_Main::dbgr_FrezyDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                         db::Field *field, int state, GridCanvas &canvas)
{
    drawToolCell(grid, painter, rect, column, field, state, canvas, DM->dtset_FrezyK_vo_New, DM->dtset_FrezyK_vo_BU);
}

void Tfrm_Main::dbgr_Derj_PLDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                           db::Field *field, int state, GridCanvas &canvas)
{
    drawToolCell(grid, painter, rect, column, field, state, canvas, DM->dtset_DerjK_vo_NEW, DM->dtset_DerjK_vo_BU);
}

void Tfrm_Main::dbgr_PlastinyiDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                             db::Field *field, int state, GridCanvas &canvas)
{
    drawToolCell(grid, painter, rect, column, field, state, canvas, DM->dtset_PlastK_vo_NEW, DM->dtset_PlastK_vo_BU);
}

// No zero-stock red; the used/new column shows a word, in the colours and
// weight chosen for the cell, instead of the field's text.
void Tfrm_Main::dbgrid_DolgiDrawColumnCell(DBGrid *grid, QPainter *painter, const QRect &rect, int column,
                                           db::Field *field, int state, GridCanvas &canvas)
{
    markSortedColumn(grid, column, state, canvas);
    bandAndMarkCurrent(grid, state, canvas);
    grid->defaultDrawColumnCell(painter, rect, column, field, state, canvas);
    if (field != DM->dtset_DolgiInstr_is_BU)
        return;
    painter->save();
    painter->fillRect(rect, resolveColor(canvas.brushColor, grid->palette()));
    painter->setClipRect(rect);
    painter->setFont(canvas.font);
    painter->setPen(resolveColor(canvas.fontColor, grid->palette()));
    painter->drawText(rect.adjusted(kWordLeft, kWordTop, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      field->asBoolean() ? u"БУ"_s : u"Новый"_s);
    painter->restore();
}
