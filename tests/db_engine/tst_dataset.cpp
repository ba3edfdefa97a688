// Data sets over real query texts: open/close, record count and number,
// after-scroll, binding rules and their messages, sorting (keys ranked by
// the sort or ahead) and locating.
#include "connection.h"
#include "data_source.h"
#include "db_error.h"
#include "dataset.h"
#include "field.h"
#include "result_table.h"
#include "stock_queries.h"
#include "test_databases.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using jetdb::Type;

namespace {

const jetdb::Null null;
jetdb::Value s(const char *text) { return std::string(text); }
jetdb::Value i(std::int64_t v) { return v; }

// The drills' and the debts' queries as the program runs them.
const QString kDrillsQuery = QString::fromLatin1(queries::kSverlaQuery);
const QString kDebtsQuery = QString::fromLatin1(queries::kDolgiQuery);

// A tool table with the drills' columns; names in the letter case given.
jetdb::Table &addTools(jetdb::Database &db, const std::string &name, const char *kod = "Kod", const char *diam = "Diam_Sverla")
{
    return db.addTable(name, {{"ID", Type::Long, 255, true}, {kod, Type::Text, 150}, {diam, Type::Double},
                              {"Diam_Hvost", Type::Double}, {"L_Instr", Type::Long}, {"L_reza", Type::Long},
                              {"N_zub", Type::Long}, {"K_vo_BU", Type::Long}, {"K_vo_New", Type::Long},
                              {"K_vo_Dolg", Type::Long}, {"K_vo_Vozvrat", Type::Long}, {"Pikcher", Type::Text, 250},
                              {"Prim", Type::Memo}, {"ID_Firma", Type::Long}, {"Korob", Type::Text, 100},
                              {"Type", Type::Text, 200}});
}

void addTool(jetdb::Table &t, std::int64_t id, jetdb::Value kod, jetdb::Value diam, jetdb::Value firm, jetdb::Value type = null)
{
    t.addRow({i(id), kod, diam, null, i(10), i(5), null, i(1), i(2), i(0), null, s("p.jpg"), s("notes"), firm, s("A1"), type});
}

void addDrillFields(db::DataSet &ds)
{
    ds.addField({"ID", db::FieldKind::AutoIncrement, 0, {}, 0, false});
    ds.addField({"Type", db::FieldKind::WideText, 200, QStringLiteral("Тип сверла"), 25});
    ds.addField({"Kod", db::FieldKind::WideText, 150, QStringLiteral("Код"), 25});
    ds.addField({"Diam_Sverla", db::FieldKind::Float, 0, QStringLiteral("Диам."), 10});
    ds.addField({"K_vo_New", db::FieldKind::Integer, 0, QStringLiteral("К-во новый"), 12});
    ds.addField({"Prim", db::FieldKind::Memo, 0, {}, 0, false});
    ds.addField({"Name", db::FieldKind::WideText, 250, QStringLiteral("Фирма"), 22});
}

QList<int> ids(db::DataSet &ds)
{
    QList<int> out;
    db::Field *id = ds.fieldByName(QStringLiteral("ID"));
    for (int r = 0; r < ds.recordCount(); ++r) {
        db::DataSet::ActiveRow row(&ds, r);
        out << id->asInteger();
    }
    return out;
}

QString closedMessage(const char *name)
{
    return QString::fromUtf8(name) + QStringLiteral(": Cannot perform this operation on a closed dataset");
}

} // namespace

class tst_DataSet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void openAndClose();
    void emptyResult();
    void joinsDropUnmatchedRows();
    void debtsUnion();
    void queryRunAhead_data();
    void queryRunAhead();
    void textOrderInQueries();
    void binding_data();
    void binding();
    void sorting_data();
    void sorting();
    void rankAheadCutShort();
    void sortErrorsAndState();
    void locate();
    void activeRow();
    void model();

private:
    QTemporaryDir m_dir;
    QString m_stock;
    db::Connection m_connection;
};

void tst_DataSet::initTestCase()
{
    QVERIFY(m_dir.isValid());
    jetdb::Database db;
    auto &sverla = addTools(db, "Sverla");
    // Diameters with a NULL, ties, and codes in mixed case and both scripts.
    addTool(sverla, 1, s("b-200"), 8.5, i(1), s("Спиральное"));
    addTool(sverla, 2, s("A-100"), 3.0, i(2), s("спиральное"));
    addTool(sverla, 3, s("Яр-1"), 8.5, i(1), s("Центровочное"));
    addTool(sverla, 4, s("а-5"), null, i(1), null);
    addTool(sverla, 5, s("c-7"), 3.0, i(99), s("x"));      // firm missing: not listed
    addTool(sverla, 6, s("d-8"), 4.0, null, s("y"));       // firm NULL: not listed
    addTool(sverla, 7, null, 12.25, i(2), s("Спиральное"));
    addTool(sverla, 8, s("B-300"), 3.0, i(1), s("спиральное"));
    auto &firma = db.addTable("Firma", {{"ID", Type::Long}, {"Name", Type::Text, 250}});
    firma.addRow({i(1), s("Gühring")});
    firma.addRow({i(2), s("Зубр")});

    auto &plast = addTools(db, "Plastinyi");
    addTool(plast, 1, s("PL-1"), null, i(1));
    auto &frezy = addTools(db, "Frezy", "KOD");
    addTool(frezy, 1, s("FR-1"), 10.0, i(1));
    addTools(db, "Empty");
    auto &people = db.addTable("People", {{"ID", Type::Long}, {"FIO", Type::Text, 255}, {"Foto", Type::Text, 255}});
    people.addRow({i(1), s("Иванов И. И."), s("iv.jpg")});
    auto &lists = db.addTable("List_Tabl", {{"ID", Type::Long}, {"Tabl_Name", Type::Text, 255}});
    for (auto [id, name] : {std::pair{1, "Сверла"}, {2, "Пластины"}, {3, "Фрезы"}, {4, "Державки"}})
        lists.addRow({i(id), s(name)});
    auto &dolgi = db.addTable("Dolgi", {{"ID", Type::Long}, {"Nomer_Zap", Type::Long}, {"ID_Tabl", Type::Long},
                                        {"ID_Instr", Type::Long}, {"Date", Type::DateTime}, {"ID_People", Type::Long},
                                        {"K_vo", Type::Long}, {"Instr_is_BU", Type::Boolean}, {"FIO_AdminBD", Type::Text, 255}});
    const auto day = jetdb::Date::fromCivil(2024, 5, 6);
    dolgi.addRow({i(1), i(1), i(1), i(1), day, i(1), i(1), true, s("Петров")});   // drill
    dolgi.addRow({i(2), i(1), i(1), i(1), day, i(1), i(1), true, s("Петров")});   // same but for ID
    dolgi.addRow({i(3), i(2), i(2), i(1), day, i(1), i(2), false, s("Петров")});  // insert
    dolgi.addRow({i(4), i(3), i(3), i(1), day, i(1), i(1), false, null});         // cutter
    dolgi.addRow({i(5), i(4), i(4), i(1), day, i(1), i(1), false, null});         // holder: kind 4
    dolgi.addRow({i(6), i(5), i(1), i(1), day, i(7), i(1), false, null});         // worker missing
    dolgi.addRow({i(7), i(6), i(1), i(50), day, i(1), i(1), false, null});        // tool missing
    auto &workers = db.addTable("Workers", {{"ID", Type::Long}, {"FIO", Type::Text, 255}});
    workers.addRow({null, s("Аистов")});
    workers.addRow({i(2), s("борисов")});
    workers.addRow({i(3), s("Васин")});   // unique IDs, one of them NULL
    auto &codes = db.addTable("Codes", {{"ID", Type::Long}, {"Kod", Type::Text, 50}});
    int id = 0;
    for (const char *code : {"W-B", "WB", "R216-10", "W-", "W", "R216.34-06", "ежа", "Елка", "ёж", "еж"})
        codes.addRow({i(++id), s(code)});
    // Enough codes for ranking ahead to take a while.
    auto &many = db.addTable("Many", {{"ID", Type::Long}, {"Kod", Type::Text, 50}});
    for (int k = 0; k < 20000; ++k)
        many.addRow({i(k), s(("R" + std::to_string(k * 7919 % 20011) + (k % 3 ? "-ж" : " b")).c_str())});
    m_stock = testdb::write(db, m_dir.filePath(QStringLiteral("stock.mdb")));

    m_connection.setConnectionString(testdb::connectionStringFor(m_stock));
    m_connection.open();
}

void tst_DataSet::openAndClose()
{
    db::DataSet ds(QStringLiteral("dtset_Sverla"), &m_connection);
    addDrillFields(ds);
    ds.setCommandText(kDrillsQuery);
    QSignalSpy scrolls(&ds, &db::DataSet::afterScroll);

    for (int round = 0; round < 2; ++round) {   // a reopen starts afresh
        ds.open();
        QVERIFY(ds.active());
        QCOMPARE(ds.recordCount(), 6);
        QCOMPARE(ds.recNo(), 1);
        QCOMPARE(scrolls.size(), round + 1);
        // ORDER BY S.Diam_Sverla: NULL first, then ascending.
        QCOMPARE(ids(ds).first(), 4);
        QCOMPARE(ds.fieldByName(QStringLiteral("prim"))->asString(), QStringLiteral("notes"));
        ds.setSort(QStringLiteral("Kod"));
        ds.close();
        QVERIFY(!ds.active());
        QCOMPARE(ds.sort(), QString());
    }
    QCOMPARE(scrolls.size(), 2);   // closing fires nothing
    QCOMPARE(ds.fieldByName(QStringLiteral("Kod"))->asString(), QString());
    QCOMPARE(ds.fieldByName(QStringLiteral("K_vo_New"))->asInteger(), 0);

    for (auto call : {std::function<void()>([&] { ds.recordCount(); }),
                      std::function<void()>([&] { ds.setSort(QStringLiteral("Kod")); }),
                      std::function<void()>([&] { ds.locate(QStringLiteral("ID"), 1); })}) {
        try {
            call();
            QFAIL("a closed data set accepted the call");
        } catch (const db::Error &e) {
            QCOMPARE(e.text(), closedMessage("dtset_Sverla"));
        }
    }
}

void tst_DataSet::emptyResult()
{
    db::DataSet ds(QStringLiteral("dtset_Frezy"), &m_connection);
    addDrillFields(ds);
    ds.setCommandText(QStringLiteral("SELECT E.*, F.Name FROM Empty E, Firma F WHERE E.ID_Firma=F.ID ORDER BY E.Kod;"));
    QSignalSpy scrolls(&ds, &db::DataSet::afterScroll);
    ds.open();
    QCOMPARE(ds.recordCount(), 0);
    QCOMPARE(ds.recNo(), -1);
    QCOMPARE(ds.currentRow(), -1);
    QCOMPARE(scrolls.size(), 0);
    QVERIFY(ds.fieldByName(QStringLiteral("Diam_Sverla"))->isNull());
    ds.setSort(QStringLiteral("Kod"));
    QVERIFY(!ds.locate(QStringLiteral("ID"), 1));
    QCOMPARE(scrolls.size(), 0);
}

void tst_DataSet::joinsDropUnmatchedRows()
{
    const db::ResultTable r = m_connection.execute(kDrillsQuery);
    QList<int> listed;
    for (int row = 0; row < r.rowCount(); ++row)
        listed << r.value(row, 0).toInt();
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, (QList<int>{1, 2, 3, 4, 7, 8}));   // 5: firm missing, 6: firm NULL
}

void tst_DataSet::debtsUnion()
{
    const db::ResultTable r = m_connection.execute(kDebtsQuery);
    QCOMPARE(r.columns.at(2).name, QStringLiteral("KoD"));
    QMap<int, QString> codes;
    for (int row = 0; row < r.rowCount(); ++row)
        codes.insert(r.value(row, 0).toInt(), r.value(row, 2).toString());
    // Kind 4, a missing worker and a missing tool drop out; two debts equal
    // but for ID both stay.
    QCOMPARE(codes.keys(), (QList<int>{1, 2, 3, 4}));
    QCOMPARE(codes.value(1), QStringLiteral("b-200"));
    QCOMPARE(codes.value(3), QStringLiteral("PL-1"));
    QCOMPARE(codes.value(4), QStringLiteral("FR-1"));   // column "KOD" read as "KoD"
    QCOMPARE(r.value(0, 8).typeId(), QMetaType::Bool);
}

void tst_DataSet::queryRunAhead_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("debts") << kDebtsQuery;
    QTest::newRow("drills") << kDrillsQuery;   // the tables the query beside it reads too
    QTest::newRow("missing table") << QStringLiteral("SELECT D.ID FROM Dolgi D, Nowhere N WHERE D.ID=N.ID");
    QTest::newRow("unknown column") << QStringLiteral("SELECT D.Nothing FROM Dolgi D, Sverla S WHERE D.ID_Instr=S.ID");
}

// A query run ahead on the second thread, while others run on this one over
// the same tables, gives the rows or the error it gives in its turn; one
// dropped unread stops without harm. Rounds give a race its chance.
void tst_DataSet::queryRunAhead()
{
    QFETCH(QString, sql);
    const auto outcome = [](const db::Connection &c, const QString &text) {
        QStringList out;
        try {
            const db::ResultTable r = c.execute(text);
            for (int row = 0; row < r.rowCount(); ++row)
                for (int col = 0; col < int(r.columns.size()); ++col)
                    out << r.columns[std::size_t(col)].name + u'=' + r.value(row, col).toString();
        } catch (const db::Error &e) {
            out << QStringLiteral("error: ") + e.text();
        }
        return out;
    };
    const QStringList plain = outcome(m_connection, sql);
    const QStringList drills = outcome(m_connection, kDrillsQuery);
    for (int round = 0; round < 20; ++round) {
        db::Connection c;
        c.setConnectionString(m_connection.connectionString());
        c.open();
        c.runAhead(sql);
        if (round % 4 == 3) {
            c.dropAhead();
        } else {
            QCOMPARE(outcome(c, kDrillsQuery), drills);
        }
        QCOMPARE(outcome(c, sql), plain);
    }
}

// ORDER BY on text follows the database's order: NULL first, letter case
// ignored, Latin before Cyrillic, hyphens set aside; a NULL ID does not stop
// a table loading.
void tst_DataSet::textOrderInQueries()
{
    const db::ResultTable r = m_connection.execute(QStringLiteral("SELECT Kod, ID FROM Sverla ORDER BY KOD, ID DESC;"));
    QStringList codes;
    for (int row = 0; row < r.rowCount(); ++row)
        codes << (r.value(row, 0).isNull() ? QStringLiteral("<null>") : r.value(row, 0).toString());
    QCOMPARE(codes, (QStringList{"<null>", "A-100", "b-200", "B-300", "c-7", "d-8", "а-5", "Яр-1"}));

    // Hyphens are set aside, in queries and in sorts alike.
    // "ё" is "е" an accent apart: it sorts between texts that the quick
    // comparison orders by themselves.
    const QStringList wordOrder{"R216.34-06", "R216-10", "W", "W-", "WB", "W-B", "еж", "ёж", "ежа", "Елка"};
    const db::ResultTable ordered = m_connection.execute(QStringLiteral("SELECT Kod FROM Codes ORDER BY Kod"));
    codes.clear();
    for (int row = 0; row < ordered.rowCount(); ++row)
        codes << ordered.value(row, 0).toString();
    QCOMPARE(codes, wordOrder);
    db::DataSet ds(QStringLiteral("dtset_Codes"), &m_connection);
    ds.addField({QStringLiteral("Kod"), db::FieldKind::WideText, 50});
    ds.setCommandText(QStringLiteral("SELECT Kod FROM Codes"));
    ds.open();
    ds.setSort(QStringLiteral("Kod"));
    codes.clear();
    for (int row = 0; row < ds.recordCount(); ++row)
        codes << ds.displayText(row, 0);
    QCOMPARE(codes, wordOrder);

    const db::ResultTable workers = m_connection.execute(QStringLiteral("SELECT ID, FIO FROM Workers ORDER BY FIO"));
    QCOMPARE(workers.rowCount(), 3);
    QVERIFY(workers.value(0, 0).isNull());
    QCOMPARE(workers.value(1, 0).toInt(), 2);
    QCOMPARE(workers.columns[0].kind, db::ColumnKind::Integer32);
}

void tst_DataSet::binding_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("error");

    const QString base = QStringLiteral("SELECT S.ID, S.Kod, S.Diam_Sverla, S.K_vo_New, S.Prim, S.Korob FROM Sverla S");
    const int Float = int(db::FieldKind::Float), Int = int(db::FieldKind::Integer), Text = int(db::FieldKind::WideText);
    QTest::newRow("case differs") << base << "DIAM_SVERLA" << Float << "Диам." << "";
    QTest::newRow("column alias") << "SELECT S.Kod AS diam_sverla FROM Sverla S" << "Diam_Sverla" << Text << "Диам." << "";
    QTest::newRow("missing, titled") << base << "Diam_Hvost" << Float << "Диам. хв."
                                     << "dtset_Test: Field 'Диам. хв.' not found";
    QTest::newRow("missing, untitled") << base << "N_zub" << Int << ""
                                       << "dtset_Test: Field 'N_zub' not found";
    QTest::newRow("text for float") << "SELECT S.Kod AS Diam_Sverla FROM Sverla S" << "Diam_Sverla" << Float << "Диам."
                                    << "dtset_Test: Type mismatch for field 'Диам.', expecting: Float actual: WideString";
    QTest::newRow("float for integer") << base << "Diam_Sverla" << Int << ""
                                       << "dtset_Test: Type mismatch for field 'Diam_Sverla', expecting: Integer actual: Float";
    QTest::newRow("memo for text") << base << "Prim" << Text << "Прим."
                                   << "dtset_Test: Type mismatch for field 'Прим.', expecting: WideString actual: WideMemo";
    QTest::newRow("auto-increment for integer") << base << "ID" << Int << "" << "";
    QTest::newRow("integer for boolean") << base << "K_vo_New" << int(db::FieldKind::Boolean) << "К-во"
                                         << "dtset_Test: Type mismatch for field 'К-во', expecting: Boolean actual: Integer";
}

// Fields bind by name with letter case ignored; a missing or incompatible
// column stops the open with the data set's name before the message.
void tst_DataSet::binding()
{
    QFETCH(QString, sql);
    QFETCH(QString, fieldName);
    QFETCH(int, kind);
    QFETCH(QString, title);
    QFETCH(QString, error);
    db::DataSet ds(QStringLiteral("dtset_Test"), &m_connection);
    ds.addField({fieldName, db::FieldKind(kind), 0, title, 0});
    ds.setCommandText(sql);
    QSignalSpy scrolls(&ds, &db::DataSet::afterScroll);
    try {
        ds.open();
        QVERIFY2(error.isEmpty(), "the open should have failed");
        QVERIFY(ds.recordCount() > 0);
        QVERIFY(!ds.fields().last()->displayText().isNull());
    } catch (const db::Error &e) {
        QCOMPARE(e.text(), error);
        QVERIFY(!ds.active());
        QCOMPARE(scrolls.size(), 0);
    }
}

void tst_DataSet::sorting_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<int>>("order");
    // Query order: 4 (NULL), 2, 8 (3.0; ties as the query gives them), 1, 3 (8.5), 7.
    QTest::newRow("text: NULL first, case-insensitive, Latin then Cyrillic")
        << "Kod" << QList<int>{7, 2, 1, 8, 4, 3};
    QTest::newRow("key name in another case") << "KOD" << QList<int>{7, 2, 1, 8, 4, 3};
    QTest::newRow("equal texts of different case keep their order")
        << "Type" << QList<int>{4, 2, 8, 1, 7, 3};
    QTest::newRow("float, then text breaks ties") << "Diam_Sverla,Kod" << QList<int>{4, 2, 8, 1, 3, 7};
    QTest::newRow("firm, then float, then code") << "Name,diam_sverla,kod" << QList<int>{4, 8, 1, 3, 2, 7};
    QTest::newRow("descending") << "Kod DESC" << QList<int>{3, 4, 8, 1, 2, 7};
    // More keys than one packed number holds: compared key by key instead.
    QTest::newRow("keys beyond 64 bits")
        << QStringList(30, QStringLiteral("Diam_Sverla")).join(u',') + QStringLiteral(",Kod")
        << QList<int>{4, 2, 8, 1, 3, 7};
}

// Each order twice: keys ranked by the sort itself, and ranked ahead on
// the ranking thread.
void tst_DataSet::sorting()
{
    QFETCH(QString, keys);
    QFETCH(QList<int>, order);
    for (const bool ahead : {false, true}) {
        db::DataSet ds(QStringLiteral("dtset_Sverla"), &m_connection);
        addDrillFields(ds);
        ds.setCommandText(kDrillsQuery);
        ds.open();
        if (ahead) {
            ds.rankAhead({keys, QStringLiteral("Prim")});
            QTRY_VERIFY(!ds.rankingAhead());
        }
        const QList<int> queryOrder = ids(ds);
        QSignalSpy scrolls(&ds, &db::DataSet::afterScroll);
        ds.setSort(keys);
        QCOMPARE(ids(ds), order);
        QCOMPARE(ds.sort(), keys);
        QCOMPARE(scrolls.size(), 0);
        ds.setSort(QString());
        QCOMPARE(ids(ds), queryOrder);
    }
}

// Ranking ahead cut short by a close, a reopen or the data set's end, at
// whatever point it has reached, leaves the sorts to come their orders.
void tst_DataSet::rankAheadCutShort()
{
    const QString sql = QStringLiteral("SELECT ID, Kod FROM Many");
    const QStringList keys{QStringLiteral("Kod,ID"), QStringLiteral("ID DESC")};
    const auto order = [&](db::DataSet &ds, const QString &keyList) {
        ds.setSort(keyList);
        return ids(ds);
    };
    const auto makeDataSet = [&] {
        auto ds = std::make_unique<db::DataSet>(QStringLiteral("dtset_Many"), &m_connection);
        ds->addField({QStringLiteral("ID"), db::FieldKind::Integer});
        ds->addField({QStringLiteral("Kod"), db::FieldKind::WideText, 50});
        ds->setCommandText(sql);
        ds->open();
        return ds;
    };
    auto ds = makeDataSet();
    const QList<int> byCode = order(*ds, keys[0]), byId = order(*ds, keys[1]);
    QCOMPARE(byCode.size(), 20000);
    for (int round = 0; round < 6; ++round) {
        ds = makeDataSet();
        ds->rankAhead(keys);
        if (round % 3 == 0) {
            ds.reset();   // destroyed at work
            continue;
        }
        if (round % 3 == 1)
            QThread::usleep(500);
        ds->close();
        ds->open();
        ds->rankAhead(keys);
        if (round % 2)
            QTRY_VERIFY(!ds->rankingAhead());
        QCOMPARE(order(*ds, keys[0]), byCode);
        QCOMPARE(order(*ds, keys[1]), byId);
    }
}

void tst_DataSet::sortErrorsAndState()
{
    db::DataSet ds(QStringLiteral("dtset_Sverla"), &m_connection);
    addDrillFields(ds);
    ds.setCommandText(kDrillsQuery);
    ds.open();
    ds.setCurrentRow(2);
    const int current = ds.fieldByName(QStringLiteral("ID"))->asInteger();
    ds.setSort(QStringLiteral("Kod"));
    QCOMPARE(ds.fieldByName(QStringLiteral("ID"))->asInteger(), current);   // same record stays current
    try {
        ds.setSort(QStringLiteral("Kod,Nope"));
        QFAIL("an unknown sort key was accepted");
    } catch (const db::Error &e) {
        QCOMPARE(e.text(), QStringLiteral("dtset_Sverla: Field 'Nope' not found"));
    }
    QCOMPARE(ds.sort(), QStringLiteral("Kod"));
}

void tst_DataSet::locate()
{
    db::DataSet ds(QStringLiteral("dtset_Sverla"), &m_connection);
    addDrillFields(ds);
    ds.setCommandText(kDrillsQuery);
    ds.open();
    ds.setSort(QStringLiteral("Kod"));
    QSignalSpy scrolls(&ds, &db::DataSet::afterScroll);
    QVERIFY(ds.locate(QStringLiteral("id"), 3));
    QCOMPARE(ds.recNo(), 6);
    QCOMPARE(ds.fieldByName(QStringLiteral("Kod"))->asString(), QStringLiteral("Яр-1"));
    QCOMPARE(scrolls.size(), 1);
    QVERIFY(!ds.locate(QStringLiteral("ID"), 5));   // not in the data set
    QCOMPARE(ds.recNo(), 6);
    QCOMPARE(scrolls.size(), 1);
}

void tst_DataSet::activeRow()
{
    db::DataSet ds(QStringLiteral("dtset_Sverla"), &m_connection);
    addDrillFields(ds);
    ds.setCommandText(kDrillsQuery);
    ds.open();
    db::Field *id = ds.fieldByName(QStringLiteral("ID"));
    QCOMPARE(id->asInteger(), 4);
    {
        db::DataSet::ActiveRow painted(&ds, 5);
        QCOMPARE(id->asInteger(), 7);
        QCOMPARE(ds.recNo(), 6);
        {
            db::DataSet::ActiveRow inner(&ds, 1);
            QCOMPARE(ds.recNo(), 2);
        }
        QCOMPARE(ds.recNo(), 6);
    }
    QCOMPARE(ds.recNo(), 1);
    QCOMPARE(ds.currentRow(), 0);
}

// The model follows open, sort and close, shows display texts with number
// alignment, and hands out the field behind each column.
void tst_DataSet::model()
{
    db::DataSet ds(QStringLiteral("dtset_Sverla"), &m_connection);
    addDrillFields(ds);
    ds.setCommandText(kDrillsQuery);
    db::DataSource source(&ds);
    QAbstractItemModelTester tester(&source, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(source.rowCount(), 0);
    ds.open();
    QCOMPARE(source.rowCount(), 6);
    QCOMPARE(source.columnCount(), 7);
    QCOMPARE(source.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Диам."));
    QCOMPARE(source.headerData(3, Qt::Horizontal, db::DataSource::FieldRole).value<db::Field *>(), ds.fields().at(3));
    QCOMPARE(source.data(source.index(0, 3)).toString(), QString());   // NULL diameter
    QCOMPARE(source.data(source.index(1, 2)).toString(), QStringLiteral("A-100"));
    QVERIFY(source.data(source.index(1, 3), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    QVERIFY(source.data(source.index(1, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
    QVERIFY(!(source.flags(source.index(1, 2)) & Qt::ItemIsEditable));
    ds.setSort(QStringLiteral("Kod"));
    QCOMPARE(source.data(source.index(0, 2)).toString(), QString());
    ds.close();
    QCOMPARE(source.rowCount(), 0);
    QCOMPARE(source.columnCount(), 0);
}

QTEST_GUILESS_MAIN(tst_DataSet)
#include "tst_dataset.moc"
