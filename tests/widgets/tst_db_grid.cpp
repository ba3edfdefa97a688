// The data grid and the bound edits on a real data set: columns from the
// visible fields, the blank column while closed, title colours that travel
// with their column, title clicks, Tab stepping, the current record both
// ways, the painting hook's view of the painted row, and the bound controls.
#include "connection.h"
#include "data_link.h"
#include "data_source.h"
#include "dataset.h"
#include "db_edit.h"
#include "db_grid.h"
#include "form_setup.h"
#include "jetdb.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// Rows in table order: code, diameter, new stock.
struct Tool { const char *kod; double diam; int newStock; const char *prim; };
const Tool kTools[] = {{"S-01", 5.5, 3, "первая"}, {"S-02", 2.0, 0, ""}, {"S-03", 8.0, 1, "третья"},
                       {"S-04", 3.2, 7, "четвёртая"}, {"S-05", 1.0, 0, "пятая"}};
constexpr int kRows = 5;

} // namespace

class tst_DBGrid : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file;
    std::unique_ptr<db::Connection> conn;
    std::unique_ptr<db::DataSet> ds;
    std::unique_ptr<db::DataSource> source;
    std::unique_ptr<DBGrid> grid;

    void openData()
    {
        conn->open();
        ds->open();
    }
    QPoint titleCentre(int column) const
    {
        QHeaderView *h = grid->horizontalHeader();
        return QPoint(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void blankColumnWhileClosed();
    void columnsFromVisibleFields();
    void titleColoursTravelWithColumns();
    void resortKeepsUserLayout();
    void currentRecordBothWays();
    void failingRecordHandlerLeavesGridInStep();
    void tabSteps_data();
    void tabSteps();
    void titleClicks();
    void paintingHookSeesPaintedRow();
    void boundControlsFollowRecord();
    void emptyDataSetShowsOneBlankRow();
};

void tst_DBGrid::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_file = m_dir.filePath(QStringLiteral("tools.mdb"));
    jetdb::Database db;
    jetdb::Table &t = db.addTable("Tools", {{"ID", jetdb::Type::Long, 255, true},
                                            {"Kod", jetdb::Type::Text, 20},
                                            {"Diam", jetdb::Type::Double},
                                            {"K_vo_NEW", jetdb::Type::Long},
                                            {"Prim", jetdb::Type::Memo}});
    for (const Tool &tool : kTools)
        t.addNamedRow({{"Kod", std::string(tool.kod)}, {"Diam", tool.diam},
                       {"K_vo_NEW", std::int64_t(tool.newStock)}, {"Prim", std::string(tool.prim)}});
    db.write(m_file.toStdString());
}

void tst_DBGrid::init()
{
    conn = std::make_unique<db::Connection>();
    conn->setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=Read").arg(m_file));
    ds = std::make_unique<db::DataSet>(QStringLiteral("dtset_Tools"), conn.get());
    ds->setCommandText(QStringLiteral("SELECT * FROM Tools ORDER BY ID"));
    db::FieldDef id{"ID", db::FieldKind::AutoIncrement};
    id.visible = false;
    ds->addField(id);
    db::FieldDef kod{"Kod", db::FieldKind::WideText, 20, QStringLiteral("Код"), 6};
    ds->addField(kod);
    db::FieldDef diam{"Diam", db::FieldKind::Float, 0, QStringLiteral("Диаметр сверла по паспорту"), 3};
    ds->addField(diam);
    db::FieldDef qty{"K_vo_New", db::FieldKind::Integer, 0, QStringLiteral("Нов."), 10};
    ds->addField(qty);
    db::FieldDef prim{"Prim", db::FieldKind::Memo};
    prim.visible = false;
    ds->addField(prim);
    source = std::make_unique<db::DataSource>(ds.get());
    grid = std::make_unique<DBGrid>();
    grid->resize(700, 300);
    grid->setDataSource(source.get());
    grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
}

void tst_DBGrid::cleanup()
{
    grid.reset();
    source.reset();
    ds.reset();
    conn.reset();
}

void tst_DBGrid::blankColumnWhileClosed()
{
    auto checkBlank = [this] {
        QCOMPARE(grid->columnCount(), 1);
        QCOMPARE(grid->model()->rowCount(), 0);
        QCOMPARE(grid->columnsInDisplayOrder(), QList<int>{0});
        QVERIFY(grid->columnField(0) == nullptr);
        QCOMPARE(grid->titleColor(0), clBtnFace);
    };
    checkBlank();
    openData();
    QCOMPARE(grid->model()->rowCount(), kRows);
    ds->close();
    checkBlank();
    // A title click on the blank column still reaches the handler.
    QSignalSpy clicks(grid.get(), &DBGrid::titleClick);
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, titleCentre(0));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).toInt(), 0);
}

void tst_DBGrid::columnsFromVisibleFields()
{
    openData();
    QCOMPARE(grid->columnsInDisplayOrder(), (QList<int>{1, 2, 3}));
    QStringList titles;
    for (int c : grid->columnsInDisplayOrder())
        titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Код", "Диаметр сверла по паспорту", "Нов."}));
    QCOMPARE(grid->columnField(3)->fieldName(), QStringLiteral("K_vo_New"));
    // Width: display width in "0"s of the cell font, or the title when wider; plus 4.
    const int zero = QFontMetrics(grid->font()).horizontalAdvance(u'0');
    const QFontMetrics title(grid->titleFont());
    QCOMPARE(grid->columnWidth(1), std::max(6 * zero, title.horizontalAdvance(QStringLiteral("Код"))) + 4);
    QCOMPARE(grid->columnWidth(2), title.horizontalAdvance(QStringLiteral("Диаметр сверла по паспорту")) + 4);
    QCOMPARE(grid->columnWidth(3), 10 * zero + 4);
    QVERIFY(!grid->titleFont().bold());
    QCOMPARE(grid->titleFont().pointSize(), 8);
    // Settings the pages rely on.
    QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(grid->showGrid());
    QVERIFY(grid->horizontalHeader()->sectionsMovable());
    QCOMPARE(grid->horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
    QVERIFY(grid->verticalHeader()->isVisible());
    QVERIFY(grid->horizontalHeader()->isVisible());
}

void tst_DBGrid::titleColoursTravelWithColumns()
{
    openData();
    const QColor face = grid->palette().color(QPalette::Button);
    for (int c : grid->columnsInDisplayOrder())
        QCOMPARE(grid->titleColor(c), clBtnFace);
    grid->setTitleColor(2, clYellow);
    QHeaderView *h = grid->horizontalHeader();
    h->moveSection(h->visualIndex(2), 0);  // the user drags "Диаметр" to the front
    QCOMPARE(grid->columnsInDisplayOrder(), (QList<int>{2, 1, 3}));
    QCOMPARE(grid->titleColor(2), clYellow);
    QCOMPARE(grid->titleColor(1), clBtnFace);
    // The header paints the colour where the column now stands.
    const QImage shot = h->grab().toImage();
    QCOMPARE(shot.pixelColor(h->sectionViewportPosition(2) + 6, h->height() - 4), QColor(Qt::yellow));
    QCOMPARE(shot.pixelColor(h->sectionViewportPosition(1) + 6, h->height() - 4), face);
    // Reopening rebuilds the columns: natural order, button face everywhere.
    ds->close();
    ds->open();
    QCOMPARE(grid->columnsInDisplayOrder(), (QList<int>{1, 2, 3}));
    QCOMPARE(grid->titleColor(2), clBtnFace);
}

void tst_DBGrid::resortKeepsUserLayout()
{
    openData();
    QHeaderView *h = grid->horizontalHeader();
    h->moveSection(h->visualIndex(3), 0);
    grid->setColumnWidth(1, 123);
    grid->setTitleColor(3, clYellow);
    ds->setCurrentRow(2);  // S-03
    ds->setSort(QStringLiteral("Diam"));
    QCOMPARE(grid->columnsInDisplayOrder(), (QList<int>{3, 1, 2}));
    QCOMPARE(grid->columnWidth(1), 123);
    QCOMPARE(grid->titleColor(3), clYellow);
    QCOMPARE(grid->model()->rowCount(), kRows);
    QCOMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("S-05"));  // the thinnest first
    QVERIFY(ds->locate(QStringLiteral("Kod"), QStringLiteral("S-03")));
    QCOMPARE(grid->currentIndex().row(), ds->currentRow());
    QCOMPARE(grid->model()->index(grid->currentIndex().row(), 1).data().toString(), QStringLiteral("S-03"));
}

void tst_DBGrid::currentRecordBothWays()
{
    openData();
    QCOMPARE(grid->currentIndex().row(), 0);  // opened on the first record
    grid->setCurrentIndex(grid->model()->index(3, 2));
    QCOMPARE(ds->currentRow(), 3);
    QCOMPARE(ds->fieldByName(QStringLiteral("kod"))->asString(), QStringLiteral("S-04"));
    ds->setCurrentRow(1);
    QCOMPARE(grid->currentIndex().row(), 1);
    QCOMPARE(grid->currentIndex().column(), 2);  // the column stays
    QVERIFY(grid->selectionModel()->isRowSelected(1, {}));
    QVERIFY(!grid->selectionModel()->isRowSelected(3, {}));
    QTest::keyClick(grid.get(), Qt::Key_Down);
    QCOMPARE(ds->currentRow(), 2);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(4, 1)).center());
    QCOMPARE(ds->currentRow(), 4);
    QVERIFY(grid->model()->flags(grid->currentIndex()).testFlag(Qt::ItemIsEditable) == false);
}

void tst_DBGrid::failingRecordHandlerLeavesGridInStep()
{
    openData();
    QObject::connect(ds.get(), &db::DataSet::afterScroll, this, [](db::DataSet *d) {
        if (d->currentRow() == 2)
            throw std::runtime_error("picture damaged");
    });
    bool thrown = false;
    try {
        grid->setCurrentIndex(grid->model()->index(2, 1));
    } catch (const std::runtime_error &) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(ds->currentRow(), 2);
    ds->setCurrentRow(4);
    QCOMPARE(grid->currentIndex().row(), 4);
    grid->setCurrentIndex(grid->model()->index(0, 1));
    QCOMPARE(ds->currentRow(), 0);
}

void tst_DBGrid::tabSteps_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("expectedRow");
    QTest::addColumn<int>("expectedColumn");
    // Visible columns in display order: 1, 2, 3 (0 and 4 hidden).
    QTest::newRow("next cell") << 0 << 1 << true << 0 << 2;
    QTest::newRow("past the last column") << 0 << 3 << true << 1 << 1;
    QTest::newRow("last cell stays") << kRows - 1 << 3 << true << kRows - 1 << 3;
    QTest::newRow("previous cell") << 2 << 2 << false << 2 << 1;
    QTest::newRow("before the first column") << 2 << 1 << false << 1 << 3;
    QTest::newRow("first cell stays") << 0 << 1 << false << 0 << 1;
}

void tst_DBGrid::tabSteps()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, forward);
    QFETCH(int, expectedRow);
    QFETCH(int, expectedColumn);
    QLineEdit neighbour;  // something Tab could escape to
    openData();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, column));
    QTest::keyClick(grid.get(), forward ? Qt::Key_Tab : Qt::Key_Backtab, forward ? Qt::NoModifier : Qt::ShiftModifier);
    QCOMPARE(grid->currentIndex().row(), expectedRow);
    QCOMPARE(grid->currentIndex().column(), expectedColumn);
    QCOMPARE(ds->currentRow(), expectedRow);
    QVERIFY(grid->hasFocus());
}

void tst_DBGrid::titleClicks()
{
    openData();
    QSignalSpy clicks(grid.get(), &DBGrid::titleClick);
    QWidget *titles = grid->horizontalHeader()->viewport();
    QHeaderView *h = grid->horizontalHeader();

    QTest::mouseClick(titles, Qt::LeftButton, {}, titleCentre(2));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.takeFirst().at(0).toInt(), 2);

    QTest::mouseClick(titles, Qt::RightButton, {}, titleCentre(2));
    QCOMPARE(clicks.count(), 0);

    // Dragging the border between two titles resizes and is no click.
    const int border = h->sectionViewportPosition(1) + h->sectionSize(1) - 1;
    const int before = h->sectionSize(1);
    QTest::mousePress(titles, Qt::LeftButton, {}, QPoint(border, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(border + 30, 5), titles->mapToGlobal(QPointF(border + 30, 5)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(titles, &move);
    QTest::mouseRelease(titles, Qt::LeftButton, {}, QPoint(border + 30, 5));
    QVERIFY(h->sectionSize(1) > before);
    QCOMPARE(clicks.count(), 0);

    // Dragging a title onto another moves its column, and is no click,
    // although the dragged title lies under the pointer when released.
    const QPoint from = titleCentre(2), to(h->sectionViewportPosition(1) + 4, h->height() / 2);
    QTest::mousePress(titles, Qt::LeftButton, {}, from);
    for (int step = 1; step <= 4; ++step) {
        const QPointF at = from + (to - from) * step / 4;
        QMouseEvent drag(QEvent::MouseMove, at, titles->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(titles, &drag);
    }
    QTest::mouseRelease(titles, Qt::LeftButton, {}, to);
    QCOMPARE(grid->columnsInDisplayOrder(), (QList<int>{2, 1, 3}));
    QCOMPARE(clicks.count(), 0);
    h->moveSection(h->visualIndex(2), 1);

    // A press and release on the border without moving is no click either.
    QTest::mouseClick(titles, Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(2) + h->sectionSize(2) - 1, 5));
    QCOMPARE(clicks.count(), 0);

    // The indicator corner is not a title.
    QTest::mouseClick(grid.get(), Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(clicks.count(), 0);

    // After the user moves a column, a click reports the model column.
    h->moveSection(h->visualIndex(3), 0);
    QTest::mouseClick(titles, Qt::LeftButton, {}, titleCentre(3));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.takeFirst().at(0).toInt(), 3);
}

void tst_DBGrid::paintingHookSeesPaintedRow()
{
    openData();
    ds->setCurrentRow(1);
    struct Call { int row; int column; QString kod; int state; };
    QList<Call> calls;
    db::Field *kod = ds->fieldByName(QStringLiteral("Kod"));
    grid->setDrawColumnCell([&](DBGrid *g, QPainter *p, const QRect &rect, int column, db::Field *field, int state,
                                GridCanvas &canvas) {
        QVERIFY(field && field->visible());
        QCOMPARE(canvas.brushColor, clWindow);  // every cell starts afresh
        calls << Call{g->rowAt(rect.center().y()), column, kod->asString(), state};
        if (ds->recNo() == 3)
            canvas.brushColor = clRed;
        g->defaultDrawColumnCell(p, rect, column, field, state, canvas);
    });
    const QImage shot = grid->viewport()->grab().toImage();
    QVERIFY(calls.size() >= kRows * 3);
    for (const Call &c : calls) {
        QCOMPARE(c.kod, QString::fromLatin1(kTools[c.row].kod));
        QCOMPARE(bool(c.state & gdSelected), c.row == 1);
        QVERIFY(c.column >= 1 && c.column <= 3);
    }
    // Outside painting, the fields read the current record again.
    QCOMPARE(kod->asString(), QStringLiteral("S-02"));
    const QRect third = grid->visualRect(grid->model()->index(2, 2));
    QCOMPARE(shot.pixelColor(third.left() + 1, third.bottom() - 1), QColor(Qt::red));
    const QRect fourth = grid->visualRect(grid->model()->index(3, 2));
    QCOMPARE(shot.pixelColor(fourth.left() + 1, fourth.bottom() - 1), grid->palette().color(QPalette::Base));
}

void tst_DBGrid::boundControlsFollowRecord()
{
    QWidget form;
    auto *kod = new DBEdit(&form);
    kod->setProperty("dataSource", QStringLiteral("ds_Tools"));
    kod->setProperty("dataField", QStringLiteral("KOD"));  // letter case differs
    auto *qty = new DBEdit(&form);
    qty->setProperty("dataSource", QStringLiteral("ds_Tools"));
    qty->setProperty("dataField", QStringLiteral("k_vo_new"));
    auto *memo = new DBMemo(&form);
    memo->setProperty("dataSource", QStringLiteral("ds_Tools"));
    memo->setProperty("dataField", QStringLiteral("Prim"));
    auto *unknown = new DBEdit(&form);
    unknown->setProperty("dataSource", QStringLiteral("ds_Tools"));
    unknown->setProperty("dataField", QStringLiteral("Nothing"));
    auto *formGrid = new DBGrid(&form);
    formGrid->setProperty("dataSource", QStringLiteral("ds_Tools"));
    auto *plain = new QLineEdit(&form);
    plain->setText(QStringLiteral("typed"));
    bindDataControls(&form, [this](const QString &name) { return name == u"ds_Tools" ? source.get() : nullptr; });
    QCOMPARE(formGrid->dataSource(), source.get());
    QVERIFY(DataLink::of(kod));
    QVERIFY(!DataLink::of(plain));

    QCOMPARE(kod->text(), QString());  // closed
    openData();
    QCOMPARE(kod->text(), QStringLiteral("S-01"));
    QCOMPARE(qty->text(), QStringLiteral("3"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("первая"));
    QCOMPARE(unknown->text(), QString());
    ds->setCurrentRow(3);
    QCOMPARE(kod->text(), QStringLiteral("S-04"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("четвёртая"));
    formGrid->setCurrentIndex(formGrid->model()->index(1, 1));
    QCOMPARE(kod->text(), QStringLiteral("S-02"));
    QCOMPARE(qty->text(), QStringLiteral("0"));
    QCOMPARE(memo->toPlainText(), QString());
    ds->setSort(QStringLiteral("Diam"));
    QVERIFY(ds->locate(QStringLiteral("Kod"), QStringLiteral("S-05")));
    QCOMPARE(kod->text(), QStringLiteral("S-05"));
    ds->close();
    QCOMPARE(kod->text(), QString());
    QCOMPARE(memo->toPlainText(), QString());
    QVERIFY(kod->isReadOnly() && memo->isReadOnly());
    QCOMPARE(plain->text(), QStringLiteral("typed"));
}

void tst_DBGrid::emptyDataSetShowsOneBlankRow()
{
    ds->setCommandText(QStringLiteral("SELECT * FROM Tools WHERE ID < 0"));
    QList<int> columns;
    QList<int> states;
    QStringList texts;
    grid->setDrawColumnCell([&](DBGrid *g, QPainter *p, const QRect &rect, int column, db::Field *field, int state,
                                GridCanvas &canvas) {
        columns << column;
        states << state;
        texts << field->displayText();
        canvas.brushColor = 0x0000FF00;
        g->defaultDrawColumnCell(p, rect, column, field, state, canvas);
    });
    QImage shot = grid->viewport()->grab().toImage();
    QVERIFY(columns.isEmpty());  // closed: no cells at all
    openData();
    QCOMPARE(grid->model()->rowCount(), 0);
    QVERIFY(grid->showsBlankRow());
    shot = grid->viewport()->grab().toImage();
    QCOMPARE(columns, (QList<int>{1, 2, 3}));
    for (int state : states)
        QVERIFY(state & gdSelected);
    QCOMPARE(texts, (QStringList{"", "", ""}));
    const int x = grid->columnViewportPosition(2) + 3;
    QCOMPARE(shot.pixelColor(x, grid->rowHeight() / 2), QColor(Qt::green));
    QCOMPARE(shot.pixelColor(x, grid->rowHeight() + 3), grid->palette().color(QPalette::Base));
    QTest::keyClick(grid.get(), Qt::Key_Tab);  // nothing to step to; no harm
    QVERIFY(grid->hasFocus() || !grid->isActiveWindow());
}

QTEST_MAIN(tst_DBGrid)
#include "tst_db_grid.moc"
