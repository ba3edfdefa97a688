// The program's life as the user meets it: start-up with every kind of
// configuration, the first show, refresh, page changes and exit, with the
// message boxes recorded instead of shown.
#include "DM_Unit.h"
#include "application.h"
#include "colors.h"
#include "db_error.h"
#include "connection.h"
#include "data_link.h"
#include "data_source.h"
#include "dataset.h"
#include "db_grid.h"
#include "field.h"
#include "frm_Main_Unit.h"
#include "frm_PathToBD_Unit.h"
#include "../support/address_space_limit.h"
#include "../support/fake_message_boxes.h"
#include "image_view.h"
#include "metafile_helper.h"
#include "metafiles.h"
#include "startup.h"
#include "status_bar.h"
#include "stock_file.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <optional>

#include <sys/stat.h>

#include <cstdio>
#include <jerror.h>

#include <functional>
#include <optional>
#include <stdexcept>

using namespace Qt::StringLiterals;
Q_DECLARE_METATYPE(RecordedBox)
Q_DECLARE_METATYPE(std::function<void()>)
Q_DECLARE_METATYPE(std::optional<qint64>)

namespace {

const QString kPlaceholder = u"Всего сверел: 20***"_s;
const QString kOpenError = u"Невозможно прочитать файл базы данных : %1\rРесурс недоступен или необходимо изменить пусть к файлу БД в настройках программы!"_s;

RecordedBox openErrorBox(const QString &path)
{
    return {RecordedBox::Error, u"Ошибка"_s, QString(kOpenError).replace(u"%1"_s, path)};
}

RecordedBox closedReport(const QString &dataSet)
{
    return {RecordedBox::ErrorReport, {}, dataSet + u": Cannot perform this operation on a closed dataset."_s};
}

QString countText(int count) { return u" Всего записей : "_s + QString::number(count); }

// A stand-in for the engine's wording: any report that is not empty.
const RecordedBox kAnyReport{RecordedBox::ErrorReport, {}, u"*"_s};

using Row = StockFile::Row;
Row tool(std::int64_t id, const std::string &kod, Row more)
{
    more.insert(more.begin(), {{"ID", id}, {"Kod", kod}});
    return more;
}

// Every page orders its records differently by each title the sorting
// tests click, with ties that only the later keys of a key list break.
StockFile sortingStock()
{
    StockFile stock;
    stock.add("Firma", {{"ID", std::int64_t(1)}, {"Name", std::string("Sandvik")}});
    stock.add("Firma", {{"ID", std::int64_t(2)}, {"Name", std::string("Iscar")}});
    stock.add("People", {{"ID", std::int64_t(1)}, {"FIO", std::string("Иванов И. И.")}});
    stock.add("List_Tabl", {{"ID", std::int64_t(1)}, {"Tabl_Name", std::string("Сверла")}});
    stock.add("List_Tabl", {{"ID", std::int64_t(3)}, {"Tabl_Name", std::string("Фрезы")}});
    // Drills in diameter order 4, 1, 3, 5, 2.
    const struct { std::int64_t id; const char *kod; double diam; std::int64_t used; } drills[] = {
        {1, "S-3", 5.0, 2}, {2, "s-1", 8.0, 2}, {3, "S-2", 5.0, 1}, {4, "S-0", 3.0, 2}, {5, "S-25", 5.0, 2}};
    for (const auto &d : drills)
        stock.add("Sverla", tool(d.id, d.kod, {{"Diam_Sverla", d.diam}, {"K_vo_BU", d.used}, {"ID_Firma", std::int64_t(1)},
                                               {"Korob", "Box " + std::string(d.kod)}}));
    // Cutters in diameter order 2, 3, 1.
    const struct { std::int64_t id; const char *kod; double diam, cut; std::int64_t lent; } cutters[] = {
        {1, "F-1", 20, 30, 0}, {2, "F-2", 10, 40, 1}, {3, "F-3", 15, 30, 1}};
    for (const auto &c : cutters)
        stock.add("Frezy", tool(c.id, c.kod, {{"Diam_Frez", c.diam}, {"L_Reza", c.cut}, {"K_vo_DOLG", c.lent},
                                              {"ID_Firma", std::int64_t(1)}, {"Korob", "Box " + std::string(c.kod)}}));
    // Holders and inserts in code order 4, 1, 2, 3; box "A" holds both firms.
    const struct { std::int64_t id; const char *kod; std::int64_t fresh; const char *box; std::int64_t firm; } held[] = {
        {1, "-1", 5, "A", 1}, {2, "-2", 0, "A", 2}, {3, "-3", 5, "B", 2}, {4, "-0", 5, "A", 2}};
    for (const auto &h : held) {
        const Row values{{"K_vo_NEW", h.fresh}, {"Korob", std::string(h.box)}, {"ID_Firma", h.firm}};
        stock.add("Derj_Plast", tool(h.id, "D" + std::string(h.kod), values));
        stock.add("Plastinyi", tool(h.id, "P" + std::string(h.kod), values));
    }
    const struct { std::int64_t id, number, kind, instr; } debts[] = {{1, 3, 1, 2}, {2, 1, 1, 4}, {3, 2, 3, 1}};
    for (const auto &d : debts)
        stock.add("Dolgi", {{"ID", d.id}, {"Nomer_Zap", d.number}, {"ID_Tabl", d.kind}, {"ID_Instr", d.instr},
                            {"ID_People", std::int64_t(1)}, {"K_vo", std::int64_t(1)}});
    return stock;
}

DBGrid *pageGrid(int page)
{
    DBGrid *const grids[] = {frm_Main->dbgr_Sverlo, frm_Main->dbgr_Frezy, frm_Main->dbgr_Derj_PL,
                             frm_Main->dbgr_Plastinyi, frm_Main->dbgrid_Dolgi};
    return grids[page];
}

int columnTitled(DBGrid *grid, const QString &title)
{
    for (int c = 0; c < grid->columnCount(); ++c) {
        if (grid->model()->headerData(c, Qt::Horizontal).toString() == title)
            return c;
    }
    return -1;
}

// A left click on the centre of a title, as the user makes it.
void clickTitle(DBGrid *grid, int column)
{
    QHeaderView *h = grid->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2));
}

QList<int> ids(db::DataSet *dataSet)
{
    QList<int> ids;
    const int id = dataSet->fieldByName(u"ID"_s)->index();
    for (int r = 0; r < dataSet->recordCount(); ++r)
        ids << dataSet->value(r, id).toInt();
    return ids;
}

// The text of the detail panel's edit that shows `field` of `source`.
QString detailText(db::DataSource *source, const QString &field)
{
    for (QLineEdit *edit : frm_Main->findChildren<QLineEdit *>()) {
        const DataLink *link = DataLink::of(edit);
        if (link && link->dataSource() == source && link->fieldName().compare(field, Qt::CaseInsensitive) == 0)
            return edit->text();
    }
    return u"<no edit>"_s;
}

// What a rendered cell shows: its background (the top row, which text never
// reaches), and the pixels that differ from it.
struct Cell {
    QColor background;
    int ink = 0;        // pixels not of the background
    int left = -1;      // first column of ink, from the cell's left edge
    int right = -1;     // last column of ink
    bool red = false;   // some ink is plainly red
    bool white = false;  // some ink is white (on a dark background)
};

Cell cellAt(DBGrid *grid, const QImage &shot, int row, int column)
{
    const QRect rect = grid->visualRect(grid->model()->index(row, column));
    Cell cell;
    cell.background = shot.pixelColor(rect.left() + 1, rect.top());
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c == cell.background)
                continue;
            ++cell.ink;
            if (cell.left < 0 || x - rect.left() < cell.left)
                cell.left = x - rect.left();
            cell.right = std::max(cell.right, x - rect.left());
            cell.red |= c.red() > 160 && c.green() < 100 && c.blue() < 100;
            cell.white |= c.red() > 235 && c.green() > 235 && c.blue() > 235;
        }
    }
    return cell;
}

QList<int> yellowTitles(DBGrid *grid)
{
    QList<int> yellow;
    for (int c = 0; c < grid->columnCount(); ++c) {
        if (grid->titleColor(c) == clYellow)
            yellow << c;
        else if (grid->titleColor(c) != clBtnFace)
            yellow << -1;  // neither colour: never right
    }
    return yellow;
}

} // namespace

class tst_MainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUp_data();
    void startUp();
    void gridsShowVisibleFields();
    void pageChangeShowsCount();
    void refreshKeepsPageAndQueryOrder();
    void refreshAfterFileVanished();
    void newPathTakesEffectOnRefresh();
    void refreshAfterFailedOpen();
    void pathDialogChangesNothingOpen();
    void exitClosesWithoutWriting();
    void uncaughtErrorsReported_data();
    void uncaughtErrorsReported();
    void titleClickSorts_data();
    void titleClickSorts();
    void titleClickWithoutRecords_data();
    void titleClickWithoutRecords();
    void gridPainting();

    void pictureFollowsRecord_data();
    void pictureFollowsRecord();
    void fastMovesEndOnLastPicture();
    void stockColours_data();
    void stockColours();
    void debtsPanel_data();
    void debtsPanel();
    void picturesSwitchedOff();
    void refreshWithEmptyDataSetKeepsPanel();

private:
    void writeConfig(const QByteArray &bytes);
    QString writeOtherStock() const;
    void start();
    void startOn(const StockFile &stock);
    void writePicture(const QString &path, const QString &kind, const QColor &colour) const;
    void compareBoxes(const QList<RecordedBox> &expected);
    QString panel(int index) const { return frm_Main->StatusBar1->panelText(index); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeMessageBoxes> m_boxes;
    QString m_config;
    QString m_db;
};

void tst_MainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_boxes = std::make_unique<FakeMessageBoxes>();
    m_config = m_dir->filePath(u"morvel.INI"_s);
    m_db = m_dir->filePath(u"stock.mdb"_s);
    StockFile().addSample().write(m_db);
}

void tst_MainWindow::cleanup()
{
    destroySingletons();
    m_boxes.reset();
    m_dir.reset();
}

void tst_MainWindow::writeConfig(const QByteArray &bytes)
{
    QFile file(m_config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A second database beside the first: the sample stock with a fourth drill,
// so the count tells which of the two is open.
QString tst_MainWindow::writeOtherStock() const
{
    const QString other = m_dir->filePath(u"other.mdb"_s);
    StockFile stock;
    stock.addSample();
    stock.add("Sverla", {{"ID", std::int64_t(4)}, {"ID_Firma", std::int64_t(1)}});
    stock.write(other);
    return other;
}

void tst_MainWindow::start()
{
    createSingletons(m_config);
    QVERIFY(!frm_Main->isVisible());
    QCOMPARE(frm_Main->PageControl_Main->currentIndex(), 4);
    frm_Main->show();
}

// The database at m_db with `stock`, the configuration pointing at it and
// the executable's folder moved into the test folder ("app/"), where the
// fallback pictures are written.
void tst_MainWindow::startOn(const StockFile &stock)
{
    stock.write(m_db);
    writeConfig("[BD]\r\nPathToBD=" + QFile::encodeName(m_db) + "\r\n");
    createSingletons(m_config);
    frm_Main->FAppDir = m_dir->filePath(u"app/"_s);
    frm_Main->show();
}

// A picture of one colour, written by the library that makes such files:
// kind "jpg", "cut jpg" (the last quarter missing), "bmp" (8 bits, indexed),
// "ico", "emf", "wmf", "bitmap emf" (an EMF holding a bitmap large enough
// that Qt converts its pixels on its thread pool), "text" (no picture at
// all), "huge" (4 GiB, nearly all of it a hole) or "fuzz TARGET/FILE" (a
// damaged picture kept from fuzzing).
void tst_MainWindow::writePicture(const QString &path, const QString &kind, const QColor &colour) const
{
    const QString file = m_dir->filePath(path);
    QDir().mkpath(QFileInfo(file).path());
    if (kind.startsWith(u"fuzz "_s)) {
        QVERIFY(QFile::copy(QStringLiteral(MORVEL_FUZZ_CORPUS "/") + kind.mid(5), file));
        return;
    }
    if (kind == u"emf"_s || kind == u"wmf"_s) {
        const stock::metafiles::Drawing drawing{QSize(200, 100), {{stock::metafiles::Shape::Rectangle, colour, {QPoint(0, 0), QPoint(200, 100)}}}};
        (kind == u"emf"_s ? stock::metafiles::writeEmf : stock::metafiles::writeWmf)(drawing, file.toStdString());
        return;
    }
    if (kind == u"bitmap emf"_s) {
        const QSize size(400, 300);
        stock::metafiles::writeEmf({size, {{stock::metafiles::Shape::Bitmap, colour, {QPoint(0, 0), QPoint(400, 300)}}}},
                                   file.toStdString());
        return;
    }
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    if (kind == u"text"_s) {
        out.write("Not a picture\r\n");
        return;
    }
    if (kind == u"huge"_s) {
        QVERIFY(out.resize(qint64(4) << 30));
        return;
    }
    // Large enough that the body outweighs the header when cut.
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(colour);
    if (kind == u"bmp"_s)
        image = image.convertToFormat(QImage::Format_Indexed8);
    if (kind == u"ico"_s)  // icons are at most 256 pixels across
        image = image.scaled(64, 48);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QByteArray format = kind == u"cut jpg"_s ? QByteArray("jpg") : kind.toLatin1();
    QVERIFY(image.save(&buffer, format.constData()));
    if (kind == u"cut jpg"_s)
        bytes.truncate(bytes.size() * 3 / 4);
    out.write(bytes);
}

// Compares the boxes shown; a report expected as kAnyReport matches any
// report with a text that obeys the full-stop rule.
void tst_MainWindow::compareBoxes(const QList<RecordedBox> &expected)
{
    QList<RecordedBox> shown = m_boxes->shown;
    QCOMPARE(shown.size(), expected.size());
    for (int i = 0; i < shown.size(); ++i) {
        if (expected[i] == kAnyReport && shown[i].kind == RecordedBox::ErrorReport) {
            const QString text = shown[i].text;
            QVERIFY2(text.size() > 1 && text.back() <= u'.', qPrintable(text));
            continue;
        }
        QCOMPARE(shown[i], expected[i]);
    }
}

void tst_MainWindow::startUp_data()
{
    QTest::addColumn<QByteArray>("config");    // empty: no configuration file
    QTest::addColumn<QString>("database");     // what the configured path names, relative to the test folder
    QTest::addColumn<QString>("databaseKind"); // "sample", "text", "lacking", "" (nothing there)
    QTest::addColumn<QString>("path");         // the path as read, "%1" the test folder
    QTest::addColumn<QList<RecordedBox>>("boxes");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("count");

    const QString noPath;
    QTest::newRow("no configuration file")
        << QByteArray() << QString() << QString() << noPath
        << QList<RecordedBox>{openErrorBox(noPath), closedReport(u"dtset_Sverla"_s)} << 0 << kPlaceholder;
    QTest::newRow("no key in the configuration")
        << QByteArray("[BD]\r\nPath=x\r\n[Other]\r\nPathToBD=x\r\n") << QString() << QString() << noPath
        << QList<RecordedBox>{openErrorBox(noPath), closedReport(u"dtset_Sverla"_s)} << 0 << kPlaceholder;
    QTest::newRow("valid database")
        << QByteArray("[BD]\r\nPathToBD=%1/stock.mdb\r\n") << u"stock.mdb"_s << u"sample"_s << u"%1/stock.mdb"_s
        << QList<RecordedBox>{} << 0 << countText(3);
    QTest::newRow("quoted path with blanks")
        << QByteArray("[bd]\r\npathtobd =  \"%1/stock.mdb\"  \r\n") << u"stock.mdb"_s << u"sample"_s
        << u"%1/stock.mdb"_s << QList<RecordedBox>{} << 0 << countText(3);
    QTest::newRow("Cyrillic path with spaces")
        << u"[BD]\nPathToBD=%1/Склад цеха/база  данных.mdb\n"_s.toUtf8() << u"Склад цеха/база  данных.mdb"_s
        << u"sample"_s << u"%1/Склад цеха/база  данных.mdb"_s << QList<RecordedBox>{} << 0 << countText(3);
    QTest::newRow("configuration written on Windows")
        << QByteArray("[BD]\r\nPathToBD=%1/\xD1\xEA\xEB\xE0\xE4.mdb\r\n")
        << u"Склад.mdb"_s << u"sample"_s << u"%1/Склад.mdb"_s << QList<RecordedBox>{} << 0 << countText(3);
    // Names stored on Windows: "\\" as separator, another letter case.
    QTest::newRow("path in Windows spelling")
        << QByteArray("[BD]\r\nPathToBD=%1\\STOCK.MDB\r\n") << u"stock.mdb"_s << u"sample"_s
        << u"%1\\STOCK.MDB"_s << QList<RecordedBox>{} << 0 << countText(3);
    QTest::newRow("missing database file")
        << QByteArray("[BD]\r\nPathToBD=%1/gone.mdb\r\n") << QString() << QString() << u"%1/gone.mdb"_s
        << QList<RecordedBox>{openErrorBox(u"%1/gone.mdb"_s), closedReport(u"dtset_Sverla"_s)} << 0 << kPlaceholder;
    QTest::newRow("folder as the path")
        << QByteArray("[BD]\r\nPathToBD=%1\r\n") << QString() << QString() << u"%1"_s
        << QList<RecordedBox>{openErrorBox(u"%1"_s), closedReport(u"dtset_Sverla"_s)} << 0 << kPlaceholder;
    // The rest of the first show is skipped: the debts page stays active.
    QTest::newRow("not a database")
        << QByteArray("[BD]\r\nPathToBD=%1/notes.mdb\r\n") << u"notes.mdb"_s << u"text"_s << u"%1/notes.mdb"_s
        << QList<RecordedBox>{kAnyReport} << 4 << kPlaceholder;
    QTest::newRow("database lacking a table")
        << QByteArray("[BD]\r\nPathToBD=%1/old.mdb\r\n") << u"old.mdb"_s << u"lacking"_s << u"%1/old.mdb"_s
        << QList<RecordedBox>{kAnyReport} << 4 << kPlaceholder;
    QTest::newRow("unreadable configuration")
        << QByteArray("fifo") << QString() << QString() << noPath
        << QList<RecordedBox>{{RecordedBox::Plain, {}, u"#203 Невозможно прочитать файл конфигурации!"_s},
                           openErrorBox(noPath), closedReport(u"dtset_Sverla"_s)}
        << 0 << kPlaceholder;
}

void tst_MainWindow::startUp()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, database);
    QFETCH(QString, databaseKind);
    QFETCH(QString, path);
    QFETCH(QList<RecordedBox>, boxes);
    QFETCH(int, page);
    QFETCH(QString, count);

    const QString folder = m_dir->path();
    const QString databasePath = folder + u'/' + database;
    QDir().mkpath(QFileInfo(databasePath).path());
    if (databaseKind == u"sample"_s) {
        StockFile().addSample().write(databasePath);
    } else if (databaseKind == u"lacking"_s) {
        StockFile().addSample().dropTable("People").write(databasePath);
    } else if (databaseKind == u"text"_s) {
        QFile file(databasePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Not a database at all\r\n");
    }

    if (config == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(m_config).constData(), 0600), 0);
    else if (!config.isEmpty())
        writeConfig(config.replace("%1", QFile::encodeName(folder)));

    for (RecordedBox &box : boxes)
        box.text.replace(u"%1"_s, folder);
    path.replace(u"%1"_s, folder);

    start();
    compareBoxes(boxes);
    QVERIFY(frm_Main->isVisible());
    const QPoint offCentre = frm_Main->frameGeometry().center() - frm_Main->screen()->virtualGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 2, "the main window is not centred on the desktop");
    QCOMPARE(frm_Main->frameGeometry().size(), QSize(1197, 661));
    QCOMPARE(frm_Main->FPathToBD, path);
    QCOMPARE(panel(1), u"Файл БД :  "_s + path);
    QCOMPARE(frm_Main->PageControl_Main->currentIndex(), page);
    QCOMPARE(panel(0), count);
}

void tst_MainWindow::gridsShowVisibleFields()
{
    writeConfig("[BD]\nPathToBD=" + QFile::encodeName(m_db) + "\n");
    start();
    const struct {
        DBGrid *grid;
        QStringList titles;
    } grids[] = {
        {frm_Main->dbgr_Sverlo,
         {u"Тип сверла"_s, u"Код"_s, u"Диам."_s, u"Диам. хв."_s, u"Длина"_s, u"Длина реза"_s, u"К-во новый"_s,
          u"К-во БУ"_s, u"К-во долг"_s, u"Фирма"_s, u"Короб"_s}},
        {frm_Main->dbgr_Frezy,
         {u"Тип фрезы"_s, u"Код"_s, u"Диам."_s, u"Длина реза"_s, u"Диам. хвост."_s, u"Длина инстр."_s,
          u"Число зуб."_s, u"R/Фаска инстр."_s, u"К-во НОВЫЙ"_s, u"К-во БУ"_s, u"К-во ДОЛГ"_s, u"Фирма"_s,
          u"Короб"_s}},
        {frm_Main->dbgr_Derj_PL,
         {u"Тип державки"_s, u"Код"_s, u"К-во НОВЫЙ"_s, u"К-во БУ"_s, u"К-во ДОЛГ"_s, u"ФИРМА"_s, u"КОРОБ"_s}},
        {frm_Main->dbgr_Plastinyi,
         {u"Тип пластины"_s, u"КОД"_s, u"К-во НОВЫЙ"_s, u"К-во БУ"_s, u"К-во ДОЛГ"_s, u"Фирма"_s, u"КОРОБ"_s}},
        {frm_Main->dbgrid_Dolgi,
         {u"№ зап."_s, u"Тип инстр"_s, u"КОД"_s, u"Дата когда брал"_s, u"ФИО опер."_s, u"К-во"_s, u"Инстр. БУ"_s,
          u"ФИО кто внес запись"_s}},
    };
    for (const auto &g : grids) {
        QStringList titles;
        for (int column : g.grid->columnsInDisplayOrder()) {
            if (!g.grid->isColumnHidden(column))
                titles.append(g.grid->model()->headerData(column, Qt::Horizontal).toString());
        }
        QCOMPARE(titles, g.titles);
    }
    QCOMPARE(frm_Main->dbgr_Sverlo->model()->rowCount(), 3);
    QCOMPARE(frm_Main->dbgrid_Dolgi->model()->rowCount(), 2);
}

void tst_MainWindow::pageChangeShowsCount()
{
    // Only one cutter: the drills and inserts pages have nothing to list.
    StockFile noInserts;
    noInserts.add("Firma", {{"ID", std::int64_t(1)}, {"Name", std::string("Iscar")}});
    noInserts.add("Frezy", {{"ID", std::int64_t(1)}, {"ID_Firma", std::int64_t(1)}});
    noInserts.write(m_db);
    writeConfig("[BD]\nPathToBD=" + QFile::encodeName(m_db) + "\n");
    start();
    QCOMPARE(panel(0), countText(0));

    frm_Main->PageControl_Main->setCurrentIndex(1);
    QCOMPARE(panel(0), countText(1));
    frm_Main->PageControl_Main->setCurrentIndex(3);
    QCOMPARE(panel(0), countText(0));
    QVERIFY(m_boxes->shown.isEmpty());
}

void tst_MainWindow::refreshKeepsPageAndQueryOrder()
{
    writeConfig("[BD]\nPathToBD=" + QFile::encodeName(m_db) + "\n");
    start();
    frm_Main->PageControl_Main->setCurrentIndex(2);
    clickTitle(frm_Main->dbgr_Derj_PL, columnTitled(frm_Main->dbgr_Derj_PL, u"Код"_s));
    DM->dtset_Derj->setCurrentRow(2);
    DM->dtset_Sverla->setSort(u"Kod"_s);
    QCOMPARE(DM->dtset_Derj->sort(), u"KOD"_s);

    frm_Main->SpeedButton2->click();
    QVERIFY(m_boxes->shown.isEmpty());
    QVERIFY(DM->dtset_Derj->sort().isEmpty());
    QCOMPARE(yellowTitles(frm_Main->dbgr_Derj_PL), QList<int>{});
    QCOMPARE(frm_Main->PageControl_Main->currentIndex(), 2);
    QCOMPARE(panel(0), countText(3));
    QVERIFY(DM->dtset_Sverla->sort().isEmpty());
    QCOMPARE(DM->dtset_SverlaID->asInteger(), 3);  // first in diameter order
    QCOMPARE(DM->dtset_Derj->recNo(), 1);
}

void tst_MainWindow::refreshAfterFileVanished()
{
    writeConfig("[BD]\nPathToBD=" + QFile::encodeName(m_db) + "\n");
    start();
    frm_Main->PageControl_Main->setCurrentIndex(4);
    QCOMPARE(panel(0), countText(2));
    QVERIFY(QFile::remove(m_db));

    frm_Main->SpeedButton4->click();
    compareBoxes({openErrorBox(m_db)});
    QVERIFY(!DM->ADOConnection1->connected());
    QCOMPARE(panel(0), countText(2));

    m_boxes->shown.clear();
    frm_Main->PageControl_Main->setCurrentIndex(1);
    compareBoxes({closedReport(u"dtset_Frezy"_s)});
    QCOMPARE(panel(0), countText(2));
    QCOMPARE(frm_Main->dbgr_Frezy->model()->rowCount(), 0);
}

void tst_MainWindow::newPathTakesEffectOnRefresh()
{
    writeConfig("[BD]\nPathToBD=" + QFile::encodeName(m_db) + "\n");
    start();

    const QString other = writeOtherStock();
    writeConfig("[BD]\nPathToBD=" + QFile::encodeName(other) + "\n");
    QCOMPARE(panel(1), u"Файл БД :  "_s + m_db);
    QCOMPARE(DM->dtset_Sverla->recordCount(), 3);

    frm_Main->spbt_RefreshBD->click();
    QCOMPARE(panel(1), u"Файл БД :  "_s + other);
    QCOMPARE(panel(0), countText(4));
    QVERIFY(m_boxes->shown.isEmpty());
}

// A failed open leaves the connection and the earlier data sets open; the
// next refresh closes them before it opens again.
void tst_MainWindow::refreshAfterFailedOpen()
{
    writeConfig("[BD]\nPathToBD=" + QFile::encodeName(m_db) + "\n");
    start();
    StockFile().addSample().dropTable("People").write(m_db);

    frm_Main->spbt_RefreshBD->click();
    compareBoxes({kAnyReport});
    QVERIFY(DM->ADOConnection1->connected());
    QVERIFY(DM->dtset_Plast->active());
    QVERIFY(!DM->dtset_Dolgi->active());
    QCOMPARE(frm_Main->dbgrid_Dolgi->model()->rowCount(), 0);

    m_boxes->shown.clear();
    StockFile().addSample().write(m_db);
    frm_Main->PageControl_Main->setCurrentIndex(4);
    compareBoxes({closedReport(u"dtset_Dolgi"_s)});
    frm_Main->SpeedButton4->click();
    compareBoxes({closedReport(u"dtset_Dolgi"_s)});
    QCOMPARE(panel(0), countText(2));
    QCOMPARE(frm_Main->dbgrid_Dolgi->model()->rowCount(), 2);
}

// The menu item shows the database-location dialog modally; the dialog shares
// the main window's path and configuration file, and closing it leaves the
// open database and the status bar as they were.
void tst_MainWindow::pathDialogChangesNothingOpen()
{
    writeConfig("[BD]\nPathToBD=" + QFile::encodeName(m_db) + "\n");
    start();
    const QString other = writeOtherStock();
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        wasModal = QApplication::activeModalWidget() == frm_PathToBD;
        // What the dialog does when the user picks another file.
        frm_Main->FPathToBD = other;
        writeConfig("[BD]\nPathToBD=" + QFile::encodeName(other) + "\n");
        frm_PathToBD->reject();
    });
    frm_Main->mm_PathToBD->trigger();
    QVERIFY(wasModal);
    QCOMPARE(frm_PathToBD->parentWidget(), frm_Main);
    QCOMPARE(panel(1), u"Файл БД :  "_s + m_db);
    QCOMPARE(DM->ADOConnection1->connectionString(), TDM::connectionStringFor(m_db));
    QCOMPARE(DM->dtset_Sverla->recordCount(), 3);
    QCOMPARE(frm_Main->FPathToBD, other);
    QVERIFY(m_boxes->shown.isEmpty());
}

void tst_MainWindow::exitClosesWithoutWriting()
{
    writeConfig("[BD]\r\nPathToBD=" + QFile::encodeName(m_db) + "\r\n");
    start();
    QFile config(m_config);
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QByteArray before = config.readAll();
    config.close();

    frm_Main->mm_Exit->trigger();
    QVERIFY(!frm_Main->isVisible());
    QVERIFY(config.open(QIODevice::ReadOnly));
    QCOMPARE(config.readAll(), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), (QStringList{u"morvel.INI"_s, u"stock.mdb"_s}));
}

namespace {

// An object whose event handler fails the way a handler may fail anywhere.
class FailingObject : public QObject {
public:
    std::function<void()> fail;
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            fail();
        return QObject::event(event);
    }
};

} // namespace

void tst_MainWindow::uncaughtErrorsReported_data()
{
    QTest::addColumn<std::function<void()>>("fail");
    QTest::addColumn<QString>("report");

    QTest::newRow("data layer error") << std::function<void()>([] { throw db::Error(u"dtset_Frezy: Field 'Код' not found"_s); })
                                      << u"dtset_Frezy: Field 'Код' not found."_s;
    QTest::newRow("ends with an exclamation mark") << std::function<void()>([] { throw db::Error(u"Нет доступа!"_s); })
                                                   << u"Нет доступа!"_s;
    QTest::newRow("other exception") << std::function<void()>([] { throw std::runtime_error("Ресурс занят"); })
                                     << u"Ресурс занят."_s;
}

// Whatever escapes an event handler is shown by the application object, and
// the message loop goes on.
void tst_MainWindow::uncaughtErrorsReported()
{
    QFETCH(std::function<void()>, fail);
    QFETCH(QString, report);

    FailingObject object;
    object.fail = fail;
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&object, QEvent::User);
    compareBoxes({{RecordedBox::ErrorReport, {}, report}});

    bool delivered = false;
    QTimer::singleShot(0, [&] { delivered = true; });
    QTRY_VERIFY(delivered);
}

namespace {

// What a view shows once the picture asked for has arrived: "hidden",
// "empty", or the colour name of the picture's centre (pictures here are of
// one colour each; JPEG is near enough).
QString shown(ImageView *view)
{
    view->waitForPicture();
    if (view->isHidden())
        return u"hidden"_s;
    if (!view->hasPicture())
        return u"empty"_s;
    const QImage &picture = view->picture();
    const QColor c = picture.pixelColor(picture.width() / 2, picture.height() / 4);
    const struct { const char *name; QColor colour; } known[] = {
        {"red", Qt::red}, {"green", Qt::green}, {"blue", Qt::blue}, {"yellow", Qt::yellow}, {"magenta", Qt::magenta},
    };
    for (const auto &k : known) {
        if (qAbs(c.red() - k.colour.red()) + qAbs(c.green() - k.colour.green()) + qAbs(c.blue() - k.colour.blue()) < 40)
            return QString::fromLatin1(k.name);
    }
    return c.name();
}

bool isRed(const QWidget *edit) { return edit->palette().color(QPalette::Base) == QColor(255, 0, 0); }

jetdb::Value pictureName(const QString &name)
{
    if (name == u"<null>"_s)
        return jetdb::Null{};
    return name.toStdString();
}

const QString kFallback = u"app/Images/NoFoto/null_img_1.jpg"_s;
const QString kPicturesOff = u"app/Images/NoFoto/null_img_2.jpg"_s;

// A file to write: path in the test folder, kind (see writePicture), colour.
struct PictureFile {
    QString path;
    QString kind;
    QColor colour;
};

} // namespace

Q_DECLARE_METATYPE(PictureFile)

void tst_MainWindow::pictureFollowsRecord_data()
{
    QTest::addColumn<QStringList>("names");          // the drills' Pikcher, in grid order; "<null>" for null
    QTest::addColumn<QList<PictureFile>>("files");
    QTest::addColumn<bool>("relativeDatabase");      // the configured path has no folder part
    QTest::addColumn<QStringList>("expected");       // what im_PicSv shows on each record in turn
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QStringList>("described");      // its accessible description on each; empty: not looked at

    const QString dir = u"Images/Instrument/"_s;
    const PictureFile fallback{kFallback, u"jpg"_s, Qt::blue};
    const PictureFile red{dir + u"a.jpg"_s, u"jpg"_s, Qt::red};
    const QStringList none;

    QTest::newRow("null, empty and missing names show the fallback")
        << QStringList{u"<null>"_s, u""_s, u"gone.jpg"_s} << QList<PictureFile>{fallback} << false
        << QStringList{u"blue"_s, u"blue"_s, u"blue"_s} << none
        << QStringList{u"Нет картинки"_s, u"Нет картинки"_s, u"Нет картинки: не найден файл gone.jpg"_s};
    QTest::newRow("no fallback either: hidden, then shown again")
        << QStringList{u"gone.jpg"_s, u"a.jpg"_s, u""_s} << QList<PictureFile>{red} << false
        << QStringList{u"hidden"_s, u"red"_s, u"hidden"_s} << none
        << QStringList{u"Нет картинки: не найден файл gone.jpg"_s, u"a.jpg"_s, u"Нет картинки"_s};
    QTest::newRow("a picture beside the executable is never used")
        << QStringList{u"a.jpg"_s} << QList<PictureFile>{fallback, {u"app/"_s + dir + u"a.jpg"_s, u"jpg"_s, Qt::magenta}}
        << false << QStringList{u"blue"_s} << none << none;
    QTest::newRow("database path without a folder part")
        << QStringList{u"a.jpg"_s} << QList<PictureFile>{red, fallback} << true << QStringList{u"red"_s} << none << none;
    QTest::newRow("Windows spelling and letter case, folder included")
        << QStringList{u"Sub\\A.JPG"_s} << QList<PictureFile>{{dir + u"SUB/a.jpg"_s, u"jpg"_s, Qt::red}, fallback}
        << false << QStringList{u"red"_s} << none << none;
    QTest::newRow("each kind shows")
        << QStringList{u"cut.jpg"_s, u"b.BMP"_s, u"c.ico"_s, u"d.emf"_s, u"e.wmf"_s}
        << QList<PictureFile>{{dir + u"cut.jpg"_s, u"cut jpg"_s, Qt::red}, {dir + u"b.BMP"_s, u"bmp"_s, Qt::green},
                              {dir + u"c.ico"_s, u"ico"_s, Qt::blue}, {dir + u"d.emf"_s, u"emf"_s, Qt::yellow},
                              {dir + u"e.wmf"_s, u"wmf"_s, Qt::magenta}}
        << false << QStringList{u"red"_s, u"green"_s, u"blue"_s, u"yellow"_s, u"magenta"_s} << none << none;
    // Drawn apart from the program, which by then has run a JPEG's worker.
    QTest::newRow("metafile holding a bitmap after a JPEG")
        << QStringList{u"a.jpg"_s, u"bitmap.emf"_s}
        << QList<PictureFile>{red, {dir + u"bitmap.emf"_s, u"bitmap emf"_s, Qt::green}} << false
        << QStringList{u"red"_s, u"green"_s} << none << none;
    // The view keeps what it showed, and says so; the handler goes on (see stockRed).
    QTest::newRow("bad JPEG header, unknown extension")
        << QStringList{u"a.jpg"_s, u"bad.jpg"_s, u"a.png"_s}
        << QList<PictureFile>{red, {dir + u"bad.jpg"_s, u"text"_s, {}}, {dir + u"a.png"_s, u"text"_s, {}}} << false
        << QStringList{u"red"_s, u"red"_s, u"red"_s}
        << QStringList{u"JPEG error #%1."_s.arg(JERR_NO_SOI), u"Unknown picture file extension (.png)"_s}
        << QStringList{u"a.jpg"_s, u"a.jpg"_s, u"a.jpg"_s};
    QTest::newRow("damaged pictures found by fuzzing")
        << QStringList{u"a.jpg"_s, u"huge.jpg"_s, u"coefficients.jpg"_s, u"images.ico"_s, u"polygon.emf"_s,
                       u"bounds.emf"_s}
        << QList<PictureFile>{red,
                              {dir + u"huge.jpg"_s, u"fuzz picture_jpeg/regression-huge-claimed-size.jpg"_s, {}},
                              {dir + u"coefficients.jpg"_s,
                               u"fuzz picture_jpeg/regression-progressive-huge-coefficients.jpg"_s, {}},
                              {dir + u"images.ico"_s, u"fuzz picture_ico/regression-claims-65021-images.ico"_s, {}},
                              {dir + u"polygon.emf"_s, u"fuzz picture_emf/regression-polygon-read-past-its-record.emf"_s, {}},
                              {dir + u"bounds.emf"_s, u"fuzz picture_emf/regression-huge-bounds.emf"_s, {}}}
        << false << QStringList{u"red"_s, u"red"_s, u"#808080"_s, u"#808080"_s, u"#808080"_s, u"#808080"_s}
        << QStringList{u"Picture is too large (60000 x 60000)"_s, u"Icon image is not valid."_s,
                       u"Enhanced metafile (EMF) is not valid."_s, u"Picture is too large (320 x 2097170)"_s} << none;
    // A name leading out of the picture folder names no file; a file larger
    // than any picture is refused unread, in an address space too small for it.
    QTest::newRow("names leaving the picture folder show the fallback")
        << QStringList{u"..\\out.jpg"_s, u"../Instrument/../out.jpg"_s}
        << QList<PictureFile>{red, fallback, {u"Images/out.jpg"_s, u"jpg"_s, Qt::green}} << false
        << QStringList{u"blue"_s, u"blue"_s} << none << none;
    QTest::newRow("huge picture file")
        << QStringList{u"a.jpg"_s, u"huge.jpg"_s} << QList<PictureFile>{red, {dir + u"huge.jpg"_s, u"huge"_s, {}}}
        << false << QStringList{u"red"_s, u"red"_s}
        << QStringList{u"Picture file \"<dir>/Images/Instrument/huge.jpg\" is larger than 256 MB."_s} << none;
    QTest::newRow("metafile bounds whose area overflows")
        << QStringList{u"a.jpg"_s, u"overflow.emf"_s}
        << QList<PictureFile>{red, {dir + u"overflow.emf"_s, u"fuzz picture_emf/regression-bounds-overflow.emf"_s, {}}}
        << false << QStringList{u"red"_s, u"red"_s}
        << QStringList{u"Picture is too large (2130706240 x 1171488443)"_s} << none;
    QTest::newRow("metafile description past its header")
        << QStringList{u"a.jpg"_s, u"description.emf"_s}
        << QList<PictureFile>{red, {dir + u"description.emf"_s,
                                    u"fuzz picture_emf/regression-description-past-the-header.emf"_s, {}}}
        << false << QStringList{u"red"_s, u"red"_s} << QStringList{u"Enhanced metafile (EMF) is not valid."_s} << none;
}

// Records alternate between no stock and stock, so the stock edits show
// whether each record's handler ran to its end, failed picture or not.
void tst_MainWindow::pictureFollowsRecord()
{
    QFETCH(QStringList, names);
    QFETCH(QList<PictureFile>, files);
    QFETCH(bool, relativeDatabase);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, reports);
    QFETCH(QStringList, described);

    for (const PictureFile &f : files)
        writePicture(f.path, f.kind, f.colour);
    StockFile stock;
    stock.addSample();
    for (int i = 0; i < names.size(); ++i)
        stock.add("Sverla", {{"ID", std::int64_t(10 + i)}, {"Diam_Sverla", 1.0 + i}, {"ID_Firma", std::int64_t(1)},
                             {"K_vo_New", std::int64_t(i % 2)}, {"Pikcher", pictureName(names[i])}});
    const QString current = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(current); });
    if (relativeDatabase) {
        QDir::setCurrent(m_dir->path());
        stock.write(m_db);
        writeConfig("[BD]\r\nPathToBD=stock.mdb\r\n");
        createSingletons(m_config);
        frm_Main->FAppDir = m_dir->filePath(u"app/"_s);
        frm_Main->show();
    } else {
        startOn(stock);
    }

    // Reading a huge file whole would fail here.
    std::optional<AddressSpaceLimit> limit;
    if (std::any_of(files.begin(), files.end(), [](const PictureFile &f) { return f.kind == u"huge"_s; }))
        QVERIFY(limit.emplace(qint64(1) << 30).active());
    QStringList seen;
    QStringList descriptions;
    for (int row = 0; row < names.size(); ++row) {
        DM->dtset_Sverla->setCurrentRow(row);
        seen << shown(frm_Main->im_PicSv);
        descriptions << frm_Main->im_PicSv->accessibleDescription();
        QCOMPARE(isRed(frm_Main->dbed_SV_K_vo_NEW), row % 2 == 0);
    }
    limit.reset();
    QCOMPARE(seen, expected);
    if (!described.isEmpty())
        QCOMPARE(descriptions, described);
    QCOMPARE(m_boxes->texts(), reports.replaceInStrings(u"<dir>"_s, m_dir->path()));
    QVERIFY(DM->dtset_Dolgi->active());
}

// Moves in quick succession, the JPEGs they ask for still decoding when the
// last record's bitmap is shown: whatever the older requests give later,
// the view ends on the last record's picture.
void tst_MainWindow::fastMovesEndOnLastPicture()
{
    const QStringList names{u"a.jpg"_s, u"c.jpg"_s, u"b.bmp"_s};
    writePicture(u"Images/Instrument/a.jpg"_s, u"jpg"_s, Qt::red);
    writePicture(u"Images/Instrument/b.bmp"_s, u"bmp"_s, Qt::green);
    writePicture(u"Images/Instrument/c.jpg"_s, u"jpg"_s, Qt::blue);
    StockFile stock;
    stock.addSample();
    for (int i = 0; i < names.size(); ++i)
        stock.add("Sverla", {{"ID", std::int64_t(10 + i)}, {"Diam_Sverla", 1.0 + i}, {"ID_Firma", std::int64_t(1)},
                             {"Pikcher", names[i].toStdString()}});
    startOn(stock);
    for (int row = 0; row < names.size(); ++row)
        DM->dtset_Sverla->setCurrentRow(row);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(shown(frm_Main->im_PicSv), u"green"_s);
}

void tst_MainWindow::stockColours_data()
{
    QTest::addColumn<std::optional<qint64>>("newQty");   // nullopt: null
    QTest::addColumn<std::optional<qint64>>("usedQty");
    QTest::addColumn<bool>("newRed");
    QTest::addColumn<bool>("usedRed");

    QTest::newRow("new 0, used 5") << std::optional<qint64>(0) << std::optional<qint64>(5) << true << false;
    QTest::newRow("-1 and 1") << std::optional<qint64>(-1) << std::optional<qint64>(1) << true << false;
    QTest::newRow("null and 2") << std::optional<qint64>() << std::optional<qint64>(2) << true << false;
    QTest::newRow("1 and null") << std::optional<qint64>(1) << std::optional<qint64>() << false << true;
}

// The four tool pages colour their two stock edits alike.
void tst_MainWindow::stockColours()
{
    QFETCH(std::optional<qint64>, newQty);
    QFETCH(std::optional<qint64>, usedQty);
    QFETCH(bool, newRed);
    QFETCH(bool, usedRed);

    const auto value = [](std::optional<qint64> q) { return q ? jetdb::Value(std::int64_t(*q)) : jetdb::Value(jetdb::Null{}); };
    StockFile stock;
    stock.add("Firma", {{"ID", std::int64_t(1)}});
    stock.add("Sverla", {{"ID", std::int64_t(1)}, {"ID_Firma", std::int64_t(1)}, {"K_vo_New", value(newQty)}, {"K_vo_BU", value(usedQty)}});
    stock.add("Frezy", {{"ID", std::int64_t(1)}, {"ID_Firma", std::int64_t(1)}, {"K_vo_New", value(newQty)}, {"K_vo_BU", value(usedQty)}});
    stock.add("Derj_Plast", {{"ID", std::int64_t(1)}, {"ID_Firma", std::int64_t(1)}, {"K_vo_NEW", value(newQty)}, {"K_vo_BU", value(usedQty)}});
    stock.add("Plastinyi", {{"ID", std::int64_t(1)}, {"ID_Firma", std::int64_t(1)}, {"K_vo_NEW", value(newQty)}, {"K_vo_BU", value(usedQty)}});
    startOn(stock);
    const QColor window = QGuiApplication::palette().color(QPalette::Base);
    const struct { QWidget *fresh, *used; } pages[] = {
        {frm_Main->dbed_SV_K_vo_NEW, frm_Main->dbed_SV_K_vo_BU}, {frm_Main->dbed_FR_K_vo_NEW, frm_Main->dbed_FR_K_vo_BU},
        {frm_Main->dbed_DRJ_K_vo_NEW, frm_Main->dbed_DRJ_K_vo_BU}, {frm_Main->dbed_PL_K_vo_NEW, frm_Main->dbed_PL_K_vo_BU},
    };
    for (const auto &page : pages) {
        QCOMPARE(isRed(page.fresh), newRed);
        QCOMPARE(isRed(page.used), usedRed);
        QCOMPARE(page.fresh->palette().color(QPalette::Base), newRed ? QColor(255, 0, 0) : window);
        QCOMPARE(page.used->palette().color(QPalette::Base), usedRed ? QColor(255, 0, 0) : window);
    }
}

void tst_MainWindow::debtsPanel_data()
{
    // Jet keeps Yes/No columns out of NULL, and the debts' field takes no
    // other column type, so a null never reaches the handler.
    QTest::addColumn<bool>("used");
    QTest::addColumn<QString>("foto");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("worker");

    QTest::newRow("used, photo") << true << u"w.jpg"_s << u"БУ"_s << u"green"_s;
    QTest::newRow("new, photo missing") << false << u"gone.jpg"_s << u"НОВЫЙ"_s << u"blue"_s;
    QTest::newRow("new, no photo name") << false << u"<null>"_s << u"НОВЫЙ"_s << u"blue"_s;
}

void tst_MainWindow::debtsPanel()
{
    QFETCH(bool, used);
    QFETCH(QString, foto);
    QFETCH(QString, text);
    QFETCH(QString, worker);

    writePicture(kFallback, u"jpg"_s, Qt::blue);
    writePicture(u"Images/Instrument/w.jpg"_s, u"jpg"_s, Qt::green);
    writePicture(u"Images/Instrument/t.jpg"_s, u"jpg"_s, Qt::red);
    StockFile stock;
    stock.add("Firma", {{"ID", std::int64_t(1)}});
    stock.add("List_Tabl", {{"ID", std::int64_t(1)}, {"Tabl_Name", std::string("Сверла")}});
    stock.add("People", {{"ID", std::int64_t(1)}, {"Foto", pictureName(foto)}});
    stock.add("Sverla", {{"ID", std::int64_t(1)}, {"ID_Firma", std::int64_t(1)}, {"Pikcher", std::string("t.jpg")}});
    stock.add("Dolgi", {{"ID", std::int64_t(1)}, {"ID_Tabl", std::int64_t(1)}, {"ID_Instr", std::int64_t(1)},
                        {"ID_People", std::int64_t(1)}, {"Instr_is_BU", used}});
    startOn(stock);
    QCOMPARE(frm_Main->ed_Dolg_Tp_Instr->text(), text);
    QCOMPARE(shown(frm_Main->im_PicDolg_Instr), u"red"_s);
    QCOMPARE(shown(frm_Main->im_PicDolg_Operator), worker);
    QVERIFY(m_boxes->shown.isEmpty());
}

// Switching pictures off shows null_img_2.jpg in the drills view only and
// freezes every view, while the stock colours keep following the records.
// Switching them on changes nothing until the next record change.
void tst_MainWindow::picturesSwitchedOff()
{
    writePicture(kFallback, u"jpg"_s, Qt::blue);
    writePicture(kPicturesOff, u"jpg"_s, Qt::yellow);
    writePicture(u"Images/Instrument/a.jpg"_s, u"jpg"_s, Qt::red);
    writePicture(u"Images/Instrument/b.jpg"_s, u"jpg"_s, Qt::green);
    StockFile stock;
    stock.add("Firma", {{"ID", std::int64_t(1)}});
    for (int i = 0; i < 2; ++i) {
        stock.add("Sverla", {{"ID", std::int64_t(i + 1)}, {"Diam_Sverla", 1.0 + i}, {"ID_Firma", std::int64_t(1)},
                             {"K_vo_New", std::int64_t(i)}, {"Pikcher", std::string(i ? "b.jpg" : "a.jpg")}});
        stock.add("Frezy", {{"ID", std::int64_t(i + 1)}, {"Diam_Frez", 1.0 + i}, {"ID_Firma", std::int64_t(1)},
                            {"Pikcher", std::string(i ? "b.jpg" : "a.jpg")}});
    }
    startOn(stock);
    frm_Main->PageControl_Main->setCurrentIndex(1);
    const auto views = [] { return QStringList{shown(frm_Main->im_PicSv), shown(frm_Main->im_PicFreza)}; };
    QCOMPARE(views(), (QStringList{u"red"_s, u"red"_s}));

    frm_Main->mm_StopPic->trigger();
    QVERIFY(frm_Main->mm_StopPic->isChecked());
    QCOMPARE(views(), (QStringList{u"yellow"_s, u"red"_s}));
    QCOMPARE(frm_Main->im_PicSv->accessibleDescription(), u"Просмотр картинок запрещен"_s);
    DM->dtset_Sverla->setCurrentRow(1);
    DM->dtset_Frezy->setCurrentRow(1);
    QCOMPARE(views(), (QStringList{u"yellow"_s, u"red"_s}));
    QVERIFY(!isRed(frm_Main->dbed_SV_K_vo_NEW));

    frm_Main->mm_StopPic->trigger();
    QVERIFY(!frm_Main->mm_StopPic->isChecked());
    QCOMPARE(views(), (QStringList{u"yellow"_s, u"red"_s}));
    DM->dtset_Sverla->setCurrentRow(0);
    QCOMPARE(views(), (QStringList{u"red"_s, u"red"_s}));
    QVERIFY(isRed(frm_Main->dbed_SV_K_vo_NEW));

    // Without null_img_2.jpg switching off hides the drills view.
    QVERIFY(QFile::remove(m_dir->filePath(kPicturesOff)));
    frm_Main->mm_StopPic->trigger();
    QCOMPARE(views(), (QStringList{u"hidden"_s, u"red"_s}));
    QVERIFY(m_boxes->shown.isEmpty());
}

// A data set that reopens empty runs no handler: its panel keeps the last
// record of the previous database.
void tst_MainWindow::refreshWithEmptyDataSetKeepsPanel()
{
    writePicture(u"Images/Instrument/a.jpg"_s, u"jpg"_s, Qt::red);
    StockFile stock;
    stock.add("Firma", {{"ID", std::int64_t(1)}});
    stock.add("Sverla", {{"ID", std::int64_t(1)}, {"ID_Firma", std::int64_t(1)}, {"Pikcher", std::string("a.jpg")}});
    startOn(stock);
    QCOMPARE(shown(frm_Main->im_PicSv), u"red"_s);
    QVERIFY(isRed(frm_Main->dbed_SV_K_vo_NEW));

    StockFile empty;
    empty.add("Firma", {{"ID", std::int64_t(1)}});
    empty.write(m_db);
    QVERIFY(QFile::remove(m_dir->filePath(u"Images/Instrument/a.jpg"_s)));
    frm_Main->spbt_RefreshBD->click();
    QCOMPARE(DM->dtset_Sverla->recordCount(), 0);
    QCOMPARE(shown(frm_Main->im_PicSv), u"red"_s);
    QVERIFY(isRed(frm_Main->dbed_SV_K_vo_NEW));
}

void tst_MainWindow::titleClickSorts_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("before");  // a title clicked first, if any
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<int>>("order");  // IDs

    // Titles whose entry is spelt in another letter case than the field.
    QTest::newRow("drills by code") << 0 << QString() << u"Код"_s << u"KOD"_s << QList<int>{4, 2, 3, 5, 1};
    QTest::newRow("cutters by cutting length") << 1 << QString() << u"Длина реза"_s << u"L_reza,Diam_Frez,KOD"_s
                                               << QList<int>{3, 1, 2};
    QTest::newRow("cutters by lent") << 1 << QString() << u"К-во ДОЛГ"_s << u"K_vo_Dolg,Diam_Frez,KOD"_s
                                     << QList<int>{1, 2, 3};
    QTest::newRow("holders by new") << 2 << QString() << u"К-во НОВЫЙ"_s << u"K_vo_New,KOD"_s << QList<int>{2, 4, 1, 3};
    QTest::newRow("inserts by new") << 3 << QString() << u"К-во НОВЫЙ"_s << u"K_vo_New,KOD"_s << QList<int>{2, 4, 1, 3};
    QTest::newRow("debts by code") << 4 << QString() << u"КОД"_s << u"KOD"_s << QList<int>{3, 2, 1};
    QTest::newRow("debts by number") << 4 << QString() << u"№ зап."_s << u"Nomer_zap"_s << QList<int>{2, 3, 1};
    // Ties: used stock, then diameter, then code; box, then firm, then code.
    QTest::newRow("drills by used") << 0 << QString() << u"К-во БУ"_s << u"K_vo_BU,Diam_Sverla,KOD"_s
                                    << QList<int>{3, 4, 5, 1, 2};
    QTest::newRow("holders by box") << 2 << QString() << u"КОРОБ"_s << u"Korob,Name,KOD"_s << QList<int>{4, 2, 1, 3};
    QTest::newRow("inserts by box") << 3 << QString() << u"КОРОБ"_s << u"Korob,Name,KOD"_s << QList<int>{4, 2, 1, 3};
    // No entry: the title is marked, the order stays.
    QTest::newRow("debts by the unlisted column") << 4 << u"№ зап."_s << u"ФИО кто внес запись"_s << u"Nomer_zap"_s
                                                  << QList<int>{2, 3, 1};
}

// Clicked twice, each title gives its order, the only yellow title, and the
// record that was current, shown in the detail panel.
void tst_MainWindow::titleClickSorts()
{
    QFETCH(int, page);
    QFETCH(QString, before);
    QFETCH(QString, title);
    QFETCH(QString, keys);
    QFETCH(QList<int>, order);

    sortingStock().write(m_db);
    writeConfig("[BD]\nPathToBD=" + QFile::encodeName(m_db) + "\n");
    start();
    frm_Main->PageControl_Main->setCurrentIndex(page);
    DBGrid *grid = pageGrid(page);
    db::DataSet *dataSet = grid->dataSource()->dataSet();
    if (!before.isEmpty())
        clickTitle(grid, columnTitled(grid, before));
    const int column = columnTitled(grid, title);
    QVERIFY(column >= 0);
    dataSet->setCurrentRow(dataSet->recordCount() - 2);
    const int current = dataSet->fieldByName(u"ID"_s)->asInteger();
    // A field the page's detail panel shows, different in every record on
    // the drills, cutters and debts pages.
    const QString shown = page == 4 ? u"Nomer_Zap"_s : u"Korob"_s;
    const QString text = dataSet->fieldByName(shown)->asString();
    QSignalSpy scrolls(dataSet, &db::DataSet::afterScroll);
    QList<int> cursors;  // while the record comes back: the busy cursor
    connect(dataSet, &db::DataSet::afterScroll, this, [&cursors] {
        cursors << (QApplication::overrideCursor() ? int(QApplication::overrideCursor()->shape()) : -1);
    });
    for (int round = 1; round <= 2; ++round) {
        clickTitle(grid, column);
        QCOMPARE(cursors.takeLast(), int(Qt::WaitCursor));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(dataSet->sort(), keys);
        QCOMPARE(ids(dataSet), order);
        QCOMPARE(yellowTitles(grid), QList<int>{column});
        QCOMPARE(dataSet->fieldByName(u"ID"_s)->asInteger(), current);
        QCOMPARE(grid->currentIndex().row(), dataSet->currentRow());
        QCOMPARE(scrolls.size(), round);
        QCOMPARE(detailText(grid->dataSource(), shown), text);
    }
    QVERIFY(m_boxes->shown.isEmpty());
}

void tst_MainWindow::titleClickWithoutRecords_data()
{
    QTest::addColumn<bool>("database");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<RecordedBox>>("boxes");
    // The closed data set's blank column: the title turns yellow, the
    // locate fails.
    QTest::newRow("no database") << false << QString() << QString() << QList<RecordedBox>{closedReport(u"dtset_Sverla"_s)};
    QTest::newRow("no drills") << true << u"Диам."_s << u"Diam_Sverla,KOD"_s << QList<RecordedBox>{};
}

void tst_MainWindow::titleClickWithoutRecords()
{
    QFETCH(bool, database);
    QFETCH(QString, title);
    QFETCH(QString, keys);
    QFETCH(QList<RecordedBox>, boxes);

    StockFile noDrills;
    noDrills.add("Firma", {{"ID", std::int64_t(1)}, {"Name", std::string("Iscar")}});
    noDrills.write(m_db);
    if (database)
        writeConfig("[BD]\nPathToBD=" + QFile::encodeName(m_db) + "\n");
    start();
    m_boxes->shown.clear();
    DBGrid *grid = frm_Main->dbgr_Sverlo;
    const int column = columnTitled(grid, title);
    QVERIFY(column >= 0);
    clickTitle(grid, column);
    compareBoxes(boxes);
    QCOMPARE(yellowTitles(grid), QList<int>{column});
    QCOMPARE(DM->dtset_Sverla->sort(), keys);
}

// Rendered grids as the storekeeper reads them: banding, zero stock in red,
// the sorted column, the current row while another control has the focus,
// and the debts' used/new words.
void tst_MainWindow::gridPainting()
{
    StockFile stock;
    stock.add("Firma", {{"ID", std::int64_t(1)}, {"Name", std::string("Sandvik")}});
    stock.add("People", {{"ID", std::int64_t(1)}, {"FIO", std::string("Иванов И. И.")}});
    stock.add("List_Tabl", {{"ID", std::int64_t(1)}, {"Tabl_Name", std::string("Сверла")}});
    // Drills in this order (by diameter): new/used 0/0, 0/3, -1/0, null/0, 2/2.
    const jetdb::Value fresh[] = {std::int64_t(0), std::int64_t(0), std::int64_t(-1), jetdb::Null{}, std::int64_t(2)};
    const std::int64_t used[] = {0, 3, 0, 0, 2};
    for (std::int64_t i = 0; i < 5; ++i)
        stock.add("Sverla", tool(i + 1, "S-" + std::to_string(i + 1), {{"Diam_Sverla", double(i + 1)},
                  {"K_vo_New", fresh[i]}, {"K_vo_BU", used[i]}, {"ID_Firma", std::int64_t(1)}}));
    for (std::int64_t i = 1; i <= 3; ++i)
        stock.add("Dolgi", {{"ID", i}, {"Nomer_Zap", i}, {"ID_Tabl", std::int64_t(1)}, {"ID_Instr", i},
                            {"ID_People", std::int64_t(1)}, {"K_vo", std::int64_t(0)}, {"Instr_is_BU", i == 1}});
    stock.write(m_db);
    writeConfig("[BD]\nPathToBD=" + QFile::encodeName(m_db) + "\n");
    start();
    frm_Main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frm_Main));

    // A dark desktop: the system colours come from the palette.
    DBGrid *drills = frm_Main->dbgr_Sverlo;
    QPalette dark = drills->palette();
    dark.setColor(QPalette::Base, QColor(30, 30, 40));
    dark.setColor(QPalette::Text, QColor(220, 220, 220));
    dark.setColor(QPalette::Button, QColor(60, 50, 50));
    dark.setColor(QPalette::Highlight, QColor(0, 90, 160));
    drills->setPalette(dark);
    const QColor window = dark.color(QPalette::Base);
    const QColor highlight = dark.color(QPalette::Highlight);
    const QColor paleGreen(0xC0, 0xDC, 0xC0), silver(0xC0, 0xC0, 0xC0);
    DM->dtset_Sverla->setCurrentRow(4);
    for (QLineEdit *edit : frm_Main->findChildren<QLineEdit *>()) {
        if (edit->isVisible())
            edit->setFocus();
    }
    QVERIFY(!drills->hasFocus());
    const int code = columnTitled(drills, u"Код"_s), firm = columnTitled(drills, u"Фирма"_s);
    const QImage plain = drills->viewport()->grab().toImage();
    const struct { QColor background; bool red; } rows[] = {
        {window, true}, {paleGreen, false}, {window, false}, {paleGreen, true}, {highlight, false}};
    for (int row = 0; row < 5; ++row) {
        const Cell cell = cellAt(drills, plain, row, code);
        QCOMPARE(cell.background, rows[row].background);
        QCOMPARE(cell.red, rows[row].red);
        if (row == 4)
            QVERIFY2(cell.white, "white text in the current row");
    }

    clickTitle(drills, firm);  // one firm: the order stays
    const QImage sorted = drills->viewport()->grab().toImage();
    const QImage titles = drills->horizontalHeader()->grab().toImage();
    const auto titleColour = [&](int column) {
        return titles.pixelColor(drills->horizontalHeader()->sectionViewportPosition(column) + 1, titles.height() - 3);
    };
    QCOMPARE(titleColour(firm), QColor(Qt::yellow));
    QCOMPARE(titleColour(code), dark.color(QPalette::Button));
    for (int row = 0; row < 5; ++row) {
        const Cell before = cellAt(drills, plain, row, firm);
        const Cell after = cellAt(drills, sorted, row, firm);
        QCOMPARE(after.background, row == 4 ? highlight : row % 2 ? paleGreen : silver);
        QCOMPARE(after.red, rows[row].red);
        if (row == 4)
            QCOMPARE(after.ink, before.ink);  // the current row is not bold
        else
            QVERIFY2(after.ink > before.ink, "the sorted column is bold");
    }

    frm_Main->PageControl_Main->setCurrentIndex(4);
    DBGrid *debts = frm_Main->dbgrid_Dolgi;
    DM->dtset_Dolgi->setCurrentRow(2);
    const int usedColumn = columnTitled(debts, u"Инстр. БУ"_s);
    for (bool sortedByIt : {false, true}) {
        if (sortedByIt)
            clickTitle(debts, usedColumn);
        const QImage shot = debts->viewport()->grab().toImage();
        for (int row = 0; row < 3; ++row) {
            const Cell cell = cellAt(debts, shot, row, usedColumn);
            QVERIFY2(cell.left == 5 || cell.left == 6, qPrintable(QString::number(cell.left)));
            if (row == 2)
                QVERIFY2(cell.white && cell.background == debts->palette().color(QPalette::Highlight),
                         "white on highlight in the current row");
        }
        // "БУ" is narrower than "Новый" (the other rows, one of them current).
        QList<int> widths;
        for (int row = 0; row < 3; ++row) {
            const Cell cell = cellAt(debts, shot, row, usedColumn);
            const bool usedTool = DM->dtset_Dolgi->value(row, DM->dtset_DolgiInstr_is_BU->index()).toBool();
            widths.insert(usedTool ? 0 : widths.size(), cell.right - cell.left);
        }
        QVERIFY2(widths[0] + 10 < std::min(widths[1], widths[2]), "БУ as wide as Новый");
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                QVERIFY2(!(c.red() > 160 && c.green() < 100 && c.blue() < 100), "red on the debts grid");
            }
        }
    }
    QVERIFY(m_boxes->shown.isEmpty());
}

// The tests run under the program's own application object.
int main(int argc, char *argv[])
{
    Application app(argc, argv);
    platform::metafile_helper::setFolder(QStringLiteral(MORVEL_BIN_DIR));
    tst_MainWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainwindow.moc"
