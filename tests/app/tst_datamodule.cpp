// The data module against real .mdb files: which rows the five queries list
// and in what order, how fields bind and show their values, what a damaged
// or foreign file does, and that the file is never touched.
#include "DM_Unit.h"
#include "connection.h"
#include "dataset.h"
#include "date_value.h"
#include "db_error.h"
#include "field.h"
#include "stock_file.h"
#include "stock_schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QtEndian>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using jetdb::Date;
using Build = std::function<void(StockFile &)>;
Q_DECLARE_METATYPE(Build)
Q_DECLARE_METATYPE(jetdb::Layout)
using FileChange = std::function<void(QFile &)>;
Q_DECLARE_METATYPE(FileChange)

namespace {

QList<int> idsInOrder(const db::DataSet *dataSet)
{
    const int idColumn = dataSet->findField(u"ID"_s)->index();
    QList<int> ids;
    for (int row = 0; row < dataSet->recordCount(); ++row)
        ids.append(dataSet->value(row, idColumn).toInt());
    return ids;
}

QList<db::DataSet *> dataSetsOf(const TDM &dm)
{
    return {dm.dtset_Sverla, dm.dtset_Frezy, dm.dtset_Derj, dm.dtset_Plast, dm.dtset_Dolgi};
}

QString closedError(const QString &dataSet)
{
    return dataSet + u": Cannot perform this operation on a closed dataset"_s;
}

// The bytes of every file in a folder, with names and times: what "the
// database and its folder are unchanged" compares.
QByteArray folderFingerprint(const QString &folder)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                    QDir::Name);
    for (const QFileInfo &info : entries) {
        hash.addData(info.fileName().toUtf8());
        hash.addData(QByteArray::number(info.size()));
        hash.addData(QByteArray::number(info.lastModified().toMSecsSinceEpoch()));
        QFile file(info.filePath());
        if (file.open(QIODevice::ReadOnly))
            hash.addData(file.readAll());
    }
    return hash.result();
}

// Every value of every data set, in order, memos included.
void compareDataSets(const TDM &actual, const TDM &expected)
{
    const auto got = dataSetsOf(actual), want = dataSetsOf(expected);
    for (int i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i]->recordCount(), want[i]->recordCount());
        QVERIFY(want[i]->recordCount() > 0);
        for (int row = 0; row < want[i]->recordCount(); ++row)
            for (int f = 0; f < int(want[i]->fields().size()); ++f)
                QVERIFY2(got[i]->value(row, f) == want[i]->value(row, f),
                         qPrintable(want[i]->name() + u" row "_s + QString::number(row) + u", field "_s
                                    + want[i]->fields()[f]->fieldName()));
    }
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::int64_t n(std::int64_t value) { return value; }
std::string s(const char *text) { return text; }

} // namespace

class tst_DataModule : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void createdClosed();
    void emptyPathChangesNothing();
    void listedRows_data();
    void listedRows();
    void emptyTable_data();
    void emptyTable();
    void columnNamesIgnoreCase();
    void bindingErrors_data();
    void bindingErrors();
    void compatibleColumns_data();
    void compatibleColumns();
    void reopenRestoresQueryOrder();
    void pathsThatOpen_data();
    void pathsThatOpen();
    void displayTexts_data();
    void displayTexts();
    void longMemoReadWhole();
    void jet3CyrillicText();
    void fileAndFolderUntouched();
    void badFiles_data();
    void badFiles();
    void layoutsReadAlike_data();
    void layoutsReadAlike();
    void fileChangedAfterOpen_data();
    void fileChangedAfterOpen();
    void fileChangedWhileRead_data();
    void fileChangedWhileRead();

private:
    QString write(const StockFile &stock, const QString &name = u"stock.mdb"_s);
    void open(const StockFile &stock);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TDM> m_dm;
};

void tst_DataModule::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_dm = std::make_unique<TDM>();
}

void tst_DataModule::cleanup()
{
    m_dm.reset();
    m_dir.reset();
}

QString tst_DataModule::write(const StockFile &stock, const QString &name)
{
    const QString path = m_dir->filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    stock.write(path);
    return path;
}

void tst_DataModule::open(const StockFile &stock)
{
    m_dm->OpenBD(write(stock));
}

void tst_DataModule::createdClosed()
{
    QVERIFY(!m_dm->ADOConnection1->connected());
    for (db::DataSet *dataSet : dataSetsOf(*m_dm)) {
        QVERIFY(!dataSet->active());
        try {
            dataSet->recordCount();
            QFAIL("a closed data set gave a record count");
        } catch (const db::Error &error) {
            QCOMPARE(error.text(), closedError(dataSet->name()));
        }
    }
}

void tst_DataModule::emptyPathChangesNothing()
{
    m_dm->OpenBD(QString());
    QVERIFY(!m_dm->ADOConnection1->connected());
    QVERIFY(!m_dm->dtset_Sverla->active());

    const QString path = write(StockFile().addSample());
    m_dm->OpenBD(path);
    m_dm->dtset_Sverla->setCurrentRow(2);
    m_dm->OpenBD(QString());
    QVERIFY(m_dm->ADOConnection1->connected());
    QCOMPARE(m_dm->ADOConnection1->connectionString(), TDM::connectionStringFor(path));
    for (db::DataSet *dataSet : dataSetsOf(*m_dm))
        QVERIFY(dataSet->active());
    QCOMPARE(m_dm->dtset_Sverla->currentRow(), 2);
}

void tst_DataModule::listedRows_data()
{
    QTest::addColumn<Build>("build");
    QTest::addColumn<QString>("dataSet");
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<bool>("anyOrder");

    QTest::newRow("drills by diameter") << Build() << u"dtset_Sverla"_s << QList<int>{3, 2, 1} << false;
    QTest::newRow("cutters by diameter") << Build() << u"dtset_Frezy"_s << QList<int>{3, 2, 1} << false;
    QTest::newRow("holders by code") << Build() << u"dtset_Derj"_s << QList<int>{3, 2, 1} << false;
    QTest::newRow("inserts by code") << Build() << u"dtset_Plast"_s << QList<int>{3, 2, 1} << false;
    QTest::newRow("code order ignores case") << Build([](StockFile &f) {
        f.add("Plastinyi", {{"ID", n(4)}, {"Kod", s("p-15")}, {"ID_Firma", n(1)}});
    }) << u"dtset_Plast"_s << QList<int>{3, 4, 2, 1} << false;

    QTest::newRow("drill of a missing firm") << Build([](StockFile &f) {
        f.add("Sverla", {{"ID", n(4)}, {"Diam_Sverla", 1.0}, {"ID_Firma", n(99)}});
    }) << u"dtset_Sverla"_s << QList<int>{3, 2, 1} << false;
    QTest::newRow("cutter without firm") << Build([](StockFile &f) {
        f.add("Frezy", {{"ID", n(4)}, {"Diam_Frez", 1.0}});
    }) << u"dtset_Frezy"_s << QList<int>{3, 2, 1} << false;
    QTest::newRow("holder of a missing firm") << Build([](StockFile &f) {
        f.add("Derj_Plast", {{"ID", n(4)}, {"Kod", s("D-0")}, {"ID_Firma", n(2)}});
    }) << u"dtset_Derj"_s << QList<int>{3, 2, 1} << false;
    QTest::newRow("insert without firm") << Build([](StockFile &f) {
        f.add("Plastinyi", {{"ID", n(4)}, {"Kod", s("P-0")}});
    }) << u"dtset_Plast"_s << QList<int>{3, 2, 1} << false;

    QTest::newRow("debts of drills and cutters") << Build() << u"dtset_Dolgi"_s << QList<int>{1, 2} << true;
    QTest::newRow("debt of an insert") << Build([](StockFile &f) {
        f.add("Dolgi", {{"ID", n(3)}, {"ID_Tabl", n(2)}, {"ID_Instr", n(3)}, {"ID_People", n(1)}});
    }) << u"dtset_Dolgi"_s << QList<int>{1, 2, 3} << true;
    QTest::newRow("debt of kind 4 is not listed") << Build([](StockFile &f) {
        f.add("List_Tabl", {{"ID", n(4)}, {"Tabl_Name", s("Державки")}});
        f.add("Dolgi", {{"ID", n(3)}, {"ID_Tabl", n(4)}, {"ID_Instr", n(1)}, {"ID_People", n(1)}});
    }) << u"dtset_Dolgi"_s << QList<int>{1, 2} << true;
    QTest::newRow("debt of a missing worker") << Build([](StockFile &f) {
        f.add("Dolgi", {{"ID", n(3)}, {"ID_Tabl", n(1)}, {"ID_Instr", n(1)}, {"ID_People", n(7)}});
    }) << u"dtset_Dolgi"_s << QList<int>{1, 2} << true;
    QTest::newRow("debt of a missing tool") << Build([](StockFile &f) {
        f.add("Dolgi", {{"ID", n(3)}, {"ID_Tabl", n(3)}, {"ID_Instr", n(9)}, {"ID_People", n(1)}});
    }) << u"dtset_Dolgi"_s << QList<int>{1, 2} << true;
    QTest::newRow("debt of a kind missing from the list") << Build([](StockFile &f) {
        f.add("Dolgi", {{"ID", n(3)}, {"ID_Tabl", n(5)}, {"ID_Instr", n(1)}, {"ID_People", n(1)}});
    }) << u"dtset_Dolgi"_s << QList<int>{1, 2} << true;
    QTest::newRow("debt without kind") << Build([](StockFile &f) {
        f.add("Dolgi", {{"ID", n(3)}, {"ID_Instr", n(1)}, {"ID_People", n(1)}});
    }) << u"dtset_Dolgi"_s << QList<int>{1, 2} << true;
    QTest::newRow("debts identical but for ID") << Build([](StockFile &f) {
        for (std::int64_t id : {10, 11})
            f.add("Dolgi", {{"ID", id}, {"Nomer_Zap", n(5)}, {"ID_Tabl", n(1)}, {"ID_Instr", n(2)},
                            {"ID_People", n(1)}, {"K_vo", n(1)}, {"Date", Date::fromCivil(2021, 1, 2)}});
    }) << u"dtset_Dolgi"_s << QList<int>{1, 2, 10, 11} << true;
    QTest::newRow("debts identical in every column listed once") << Build([](StockFile &f) {
        for (int copy = 0; copy < 2; ++copy)
            f.add("Dolgi", {{"ID", n(3)}, {"ID_Tabl", n(2)}, {"ID_Instr", n(1)}, {"ID_People", n(1)}});
    }) << u"dtset_Dolgi"_s << QList<int>{1, 2, 3} << true;
    QTest::newRow("debt of a holder's ID is not a holder") << Build([](StockFile &f) {
        // Holders are never lent: a kind-1 debt of ID 5 finds no drill even
        // though a holder 5 exists.
        f.add("Derj_Plast", {{"ID", n(5)}, {"Kod", s("D-5")}, {"ID_Firma", n(1)}});
        f.add("Dolgi", {{"ID", n(3)}, {"ID_Tabl", n(1)}, {"ID_Instr", n(5)}, {"ID_People", n(1)}});
    }) << u"dtset_Dolgi"_s << QList<int>{1, 2} << true;
}

void tst_DataModule::listedRows()
{
    QFETCH(Build, build);
    QFETCH(QString, dataSet);
    QFETCH(QList<int>, ids);
    QFETCH(bool, anyOrder);

    StockFile stock;
    stock.addSample();
    if (build)
        build(stock);
    open(stock);

    auto *set = m_dm->findChild<db::DataSet *>(dataSet);
    QVERIFY(set);
    QList<int> listed = idsInOrder(set);
    if (anyOrder)
        std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, ids);
    QCOMPARE(set->recNo(), 1);
}

void tst_DataModule::emptyTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("dataSet");
    QTest::newRow("drills") << u"Sverla"_s << u"dtset_Sverla"_s;
    QTest::newRow("cutters") << u"Frezy"_s << u"dtset_Frezy"_s;
    QTest::newRow("holders") << u"Derj_Plast"_s << u"dtset_Derj"_s;
    QTest::newRow("inserts") << u"Plastinyi"_s << u"dtset_Plast"_s;
    QTest::newRow("debts") << u"Dolgi"_s << u"dtset_Dolgi"_s;
}

void tst_DataModule::emptyTable()
{
    QFETCH(QString, table);
    QFETCH(QString, dataSet);

    // The sample with one table left without rows (and no debts pointing
    // into it, so the other lists stay as they are).
    StockFile emptied;
    emptied.add("Firma", {{"ID", n(1)}, {"Name", s("Sandvik")}});
    emptied.add("People", {{"ID", n(1)}, {"FIO", s("Петров")}});
    emptied.add("List_Tabl", {{"ID", n(1)}, {"Tabl_Name", s("Сверла")}});
    for (const char *t : {"Sverla", "Frezy", "Derj_Plast", "Plastinyi"}) {
        if (table != QLatin1StringView(t))
            emptied.add(t, {{"ID", n(1)}, {"ID_Firma", n(1)}});
    }
    if (table != u"Dolgi"_s && table != u"Sverla"_s)
        emptied.add("Dolgi", {{"ID", n(1)}, {"ID_Tabl", n(1)}, {"ID_Instr", n(1)}, {"ID_People", n(1)}});

    QList<std::shared_ptr<QSignalSpy>> spies;
    for (db::DataSet *set : dataSetsOf(*m_dm))
        spies.append(std::make_shared<QSignalSpy>(set, &db::DataSet::afterScroll));
    open(emptied);

    const auto sets = dataSetsOf(*m_dm);
    for (int i = 0; i < sets.size(); ++i) {
        db::DataSet *set = sets[i];
        const bool isEmpty = set->name() == dataSet || (set->name() == u"dtset_Dolgi"_s && table == u"Sverla"_s);
        QVERIFY2(set->active(), qPrintable(set->name()));
        QCOMPARE(set->recordCount(), isEmpty ? 0 : 1);
        QCOMPARE(set->recNo(), isEmpty ? -1 : 1);
        QCOMPARE(spies[i]->count(), isEmpty ? 0 : 1);
    }
}

void tst_DataModule::columnNamesIgnoreCase()
{
    // Every column spelled in another letter case than the queries and the
    // field lists use.
    StockFile stock;
    const std::vector<std::pair<std::string, std::vector<std::string>>> renames = {
        {"Sverla", {"Kod", "Type", "Diam_Sverla", "K_vo_New", "K_vo_Dolg", "L_reza", "ID_Firma", "Korob"}},
        {"Frezy", {"Kod", "K_vo_DOLG", "L_Reza", "Diam_Frez", "R_FAS_instr", "ID"}},
        {"Derj_Plast", {"Name", "K_vo_NEW", "Kod"}},
        {"Plastinyi", {"K_vo_NEW", "Kod", "Naimenovanie"}},
        {"Firma", {"ID", "Name"}},
        {"Dolgi", {"ID_Tabl", "Nomer_Zap", "Instr_is_BU", "Date"}},
        {"People", {"FIO", "Foto"}},
        {"List_Tabl", {"Tabl_Name"}},
    };
    for (const auto &[table, columns] : renames) {
        for (const std::string &column : columns) {
            std::string other = column;
            for (char &c : other)
                c = std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c);
            stock.renameColumn(table, column, other);
        }
    }
    stock.addSample();
    open(stock);

    QCOMPARE(idsInOrder(m_dm->dtset_Sverla), (QList<int>{3, 2, 1}));
    QCOMPARE(m_dm->dtset_SverlaKod->asString(), u"S-3"_s);
    QCOMPARE(m_dm->dtset_SverlaK_vo_New->asInteger(), 3);
    QCOMPARE(m_dm->dtset_SverlaName->asString(), u"Sandvik"_s);
    QCOMPARE(m_dm->dtset_FrezyK_vo_DOLG->isNull(), true);
    QCOMPARE(m_dm->dtset_DerjDerj_Name->asString(), u"Державка"_s);
    QCOMPARE(m_dm->dtset_Dolgi->recordCount(), 2);
    QCOMPARE(m_dm->dtset_DolgiFIO->asString(), u"Иванов И. И."_s);
}

void tst_DataModule::bindingErrors_data()
{
    QTest::addColumn<Build>("build");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("opened");  // data sets left open before the failing one

    // A column the query names but the table lacks stops the query itself.
    QTest::newRow("drills lacking a column") << Build([](StockFile &f) {
        f.dropColumn("Sverla", "Korob");
    }) << u"Unknown field name: 'S.Korob'."_s << 0;
    QTest::newRow("debts lacking a column") << Build([](StockFile &f) {
        f.dropColumn("Dolgi", "FIO_AdminBD");
    }) << u"Unknown field name: 'D.FIO_AdminBD'."_s << 4;
    QTest::newRow("float column as text") << Build([](StockFile &f) {
        f.retypeColumn("Sverla", "Diam_Sverla", jetdb::Type::Text);
    }) << u"dtset_Sverla: Type mismatch for field 'Диам.', expecting: Float actual: WideString"_s << 0;
    QTest::newRow("integer column as float") << Build([](StockFile &f) {
        f.retypeColumn("Frezy", "K_vo_BU", jetdb::Type::Double);
    }) << u"dtset_Frezy: Type mismatch for field 'К-во БУ', expecting: Integer actual: Float"_s << 1;
    QTest::newRow("untitled field named by its column") << Build([](StockFile &f) {
        f.retypeColumn("Derj_Plast", "Pikcher", jetdb::Type::Long);
    }) << u"dtset_Derj: Type mismatch for field 'Pikcher', expecting: WideString actual: Integer"_s << 2;
    QTest::newRow("auto-increment key as text") << Build([](StockFile &f) {
        f.retypeColumn("Plastinyi", "ID", jetdb::Type::Text);
    }) << u"dtset_Plast: Type mismatch for field 'ID', expecting: AutoInc actual: WideString"_s << 3;
    QTest::newRow("date column as text") << Build([](StockFile &f) {
        f.retypeColumn("Dolgi", "Date", jetdb::Type::Text);
    }) << u"dtset_Dolgi: Type mismatch for field 'Дата когда брал', expecting: DateTime actual: WideString"_s << 4;
    QTest::newRow("boolean column as integer") << Build([](StockFile &f) {
        f.retypeColumn("Dolgi", "Instr_is_BU", jetdb::Type::Long);
    }) << u"dtset_Dolgi: Type mismatch for field 'Инстр. БУ', expecting: Boolean actual: Integer"_s << 4;
}

void tst_DataModule::bindingErrors()
{
    QFETCH(Build, build);
    QFETCH(QString, message);
    QFETCH(int, opened);

    StockFile stock;
    build(stock);
    try {
        open(stock);
        QFAIL("the data module opened a database whose column does not fit its field");
    } catch (const db::Error &error) {
        QCOMPARE(error.text(), message);
    }
    // The failing step ends the open: earlier data sets stay open, the
    // failing and later ones closed, the connection connected.
    QVERIFY(m_dm->ADOConnection1->connected());
    const auto sets = dataSetsOf(*m_dm);
    for (int i = 0; i < sets.size(); ++i)
        QCOMPARE(sets[i]->active(), i < opened);

    m_dm->CloseBD();
    QVERIFY(!m_dm->ADOConnection1->connected());
    for (db::DataSet *set : sets)
        QVERIFY(!set->active());
}

void tst_DataModule::compatibleColumns_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("type");

    QTest::newRow("integer field, 16-bit column") << u"Sverla"_s << u"K_vo_New"_s << int(jetdb::Type::Integer);
    QTest::newRow("integer field, byte column") << u"Frezy"_s << u"K_vo_BU"_s << int(jetdb::Type::Byte);
    QTest::newRow("auto-increment field, plain integer key") << u"Derj_Plast"_s << u"ID"_s << int(jetdb::Type::Long);
    QTest::newRow("float field, single column") << u"Sverla"_s << u"Diam_Sverla"_s << int(jetdb::Type::Single);
    QTest::newRow("float field, currency column") << u"Frezy"_s << u"N_zub"_s << int(jetdb::Type::Currency);
    QTest::newRow("memo field, memo column") << u"Plastinyi"_s << u"Prim"_s << int(jetdb::Type::Memo);
}

void tst_DataModule::compatibleColumns()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(int, type);

    StockFile stock;
    stock.retypeColumn(table.toStdString(), column.toStdString(), jetdb::Type(type));
    stock.addSample();
    open(stock);
    for (db::DataSet *set : dataSetsOf(*m_dm))
        QVERIFY2(set->active(), qPrintable(set->name()));
    QCOMPARE(m_dm->dtset_Sverla->recordCount(), 3);
}

void tst_DataModule::reopenRestoresQueryOrder()
{
    open(StockFile().addSample());
    m_dm->dtset_Sverla->setSort(u"KOD"_s);
    m_dm->dtset_Frezy->setSort(u"Kod"_s);
    m_dm->dtset_Derj->setSort(u"id"_s);
    m_dm->dtset_Plast->setSort(u"ID"_s);
    QCOMPARE(idsInOrder(m_dm->dtset_Sverla), (QList<int>{1, 2, 3}));
    QCOMPARE(idsInOrder(m_dm->dtset_Derj), (QList<int>{1, 2, 3}));
    m_dm->dtset_Sverla->setCurrentRow(2);

    const QString path = m_dir->filePath(u"stock.mdb"_s);
    m_dm->CloseBD();
    m_dm->OpenBD(path);
    for (db::DataSet *set : dataSetsOf(*m_dm)) {
        QVERIFY(set->sort().isEmpty());
        QCOMPARE(set->recNo(), 1);
        if (set != m_dm->dtset_Dolgi)
            QCOMPARE(idsInOrder(set), (QList<int>{3, 2, 1}));
    }
}

// Any name a file can have opens: the path is quoted in the connection
// string, so that nothing in it reads as the string's own syntax.
void tst_DataModule::pathsThatOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("cyrillic with spaces") << u"Склад инструмента/база  данных цеха.mdb"_s
                                          << u"Склад инструмента/база  данных цеха.mdb"_s;
    QTest::newRow("semicolon") << u"цех;2/база.mdb"_s << u"цех;2/база.mdb"_s;
    QTest::newRow("keys after a semicolon") << u"a;Mode=Write;Data Source=b.mdb"_s
                                            << u"a;Mode=Write;Data Source=b.mdb"_s;
    QTest::newRow("double quotes") << u"\"база\" 2.mdb"_s << u"\"\"база\"\" 2.mdb"_s;
    QTest::newRow("blanks at the ends") << u" база.mdb "_s << u" база.mdb "_s;
}

void tst_DataModule::pathsThatOpen()
{
    QFETCH(QString, name);
    QFETCH(QString, quoted);
    const QString path = write(StockFile().addSample(), name);
    m_dm->OpenBD(path);
    QCOMPARE(m_dm->ADOConnection1->connectionString(),
             u"Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=\""_s + m_dir->path() + u'/'
                 + quoted + u"\";Mode=Read;Persist Security Info=True"_s);
    QCOMPARE(m_dm->dtset_Sverla->recordCount(), 3);
}

void tst_DataModule::displayTexts_data()
{
    QTest::addColumn<Build>("build");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("value");

    const QLocale locale = QLocale::system();
    const QString point = locale.decimalPoint();
    // The long time format without its time zone.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(u't');
    timeFormat = timeFormat.trimmed();

    const auto drill = [](std::string column, jetdb::Value value) {
        return Build([column, value](StockFile &f) {
            f.add("Firma", {{"ID", n(1)}, {"Name", s("Sandvik")}});
            f.add("Sverla", {{"ID", n(1)}, {"ID_Firma", n(1)}, {column, value}});
        });
    };
    const auto debt = [](std::string column, jetdb::Value value) {
        return Build([column, value](StockFile &f) {
            f.addSample();
            f.add("Dolgi", {{"ID", n(0)}, {"Nomer_Zap", n(-1)}, {"ID_Tabl", n(1)}, {"ID_Instr", n(1)},
                            {"ID_People", n(1)}, {column, value}});
        });
    };

    QTest::newRow("integer") << drill("K_vo_BU", n(-12)) << u"dtset_SverlaK_vo_BU"_s << u"-12"_s << QVariant(-12);
    QTest::newRow("large integer, no grouping") << drill("K_vo_BU", n(1234567)) << u"dtset_SverlaK_vo_BU"_s
                                                << u"1234567"_s << QVariant(1234567);
    QTest::newRow("null integer") << drill("L_Instr", jetdb::Null{}) << u"dtset_SverlaL_Instr"_s << QString()
                                  << QVariant();
    QTest::newRow("float without trailing zeros") << drill("Diam_Sverla", 12.5) << u"dtset_SverlaDiam_Sverla"_s
                                                  << u"12"_s + point + u"5"_s << QVariant(12.5);
    QTest::newRow("whole float") << drill("Diam_Sverla", 3.0) << u"dtset_SverlaDiam_Sverla"_s << u"3"_s
                                 << QVariant(3.0);
    QTest::newRow("17-digit float, 15 shown") << drill("Diam_Hvost", 0.1 + 0.2) << u"dtset_SverlaDiam_Hvost"_s
                                              << u"0"_s + point + u"3"_s << QVariant(0.1 + 0.2);
    QTest::newRow("17-digit float rounded") << drill("Diam_Hvost", 1.2345678901234567)
                                            << u"dtset_SverlaDiam_Hvost"_s << u"1"_s + point + u"23456789012346"_s
                                            << QVariant(1.2345678901234567);
    QTest::newRow("negative float") << drill("Diam_Sverla", -0.75) << u"dtset_SverlaDiam_Sverla"_s
                                    << u"-0"_s + point + u"75"_s << QVariant(-0.75);
    QTest::newRow("text as stored") << drill("Kod", s("  Р6М5 ø10  ")) << u"dtset_SverlaKod"_s
                                    << u"  Р6М5 ø10  "_s << QVariant(u"  Р6М5 ø10  "_s);
    QTest::newRow("null text") << drill("Korob", jetdb::Null{}) << u"dtset_SverlaKorob"_s << QString() << QVariant();

    const QDate taken(2020, 5, 17);
    QTest::newRow("date at midnight") << debt("Date", Date::fromCivil(2020, 5, 17)) << u"dtset_DolgiDate"_s
                                      << locale.toString(taken, QLocale::ShortFormat)
                                      << QVariant(QDateTime(taken, QTime(0, 0), Qt::UTC));
    QTest::newRow("date with time") << debt("Date", Date::fromCivil(2020, 5, 17, 14, 5, 9)) << u"dtset_DolgiDate"_s
                                    << locale.toString(taken, QLocale::ShortFormat) + u' '
                                           + locale.toString(QTime(14, 5, 9), timeFormat)
                                    << QVariant(QDateTime(taken, QTime(14, 5, 9), Qt::UTC));
    const QDate old(1899, 12, 29);
    QTest::newRow("date before 1900 with time") << debt("Date", Date::fromCivil(1899, 12, 29, 6, 0, 0))
                                                << u"dtset_DolgiDate"_s
                                                << locale.toString(old, QLocale::ShortFormat) + u' '
                                                       + locale.toString(QTime(6, 0), timeFormat)
                                                << QVariant(QDateTime(old, QTime(6, 0), Qt::UTC));
    const QDate older(1850, 3, 1);
    QTest::newRow("date long before 1900") << debt("Date", Date::fromCivil(1850, 3, 1, 23, 59, 59))
                                           << u"dtset_DolgiDate"_s
                                           << locale.toString(older, QLocale::ShortFormat) + u' '
                                                  + locale.toString(QTime(23, 59, 59), timeFormat)
                                           << QVariant(QDateTime(older, QTime(23, 59, 59), Qt::UTC));
    QTest::newRow("null date") << debt("Date", jetdb::Null{}) << u"dtset_DolgiDate"_s << QString() << QVariant();
    QTest::newRow("boolean true") << debt("Instr_is_BU", true) << u"dtset_DolgiInstr_is_BU"_s << u"True"_s
                                  << QVariant(true);
    QTest::newRow("boolean false") << debt("Instr_is_BU", false) << u"dtset_DolgiInstr_is_BU"_s << u"False"_s
                                   << QVariant(false);
}

void tst_DataModule::displayTexts()
{
    QFETCH(Build, build);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QVariant, value);

    StockFile stock;
    build(stock);
    open(stock);

    const QString dataSetName = field.startsWith(u"dtset_Dolgi"_s) ? u"dtset_Dolgi"_s : u"dtset_Sverla"_s;
    auto *set = m_dm->findChild<db::DataSet *>(dataSetName);
    QVERIFY(set);
    // The row of interest: the only drill, or the debt with ID 0.
    if (set == m_dm->dtset_Dolgi)
        QVERIFY(set->locate(u"ID"_s, 0));
    db::Field *f = set->findField(field.mid(dataSetName.size()));
    QVERIFY(f);
    QCOMPARE(f->displayText(), text);
    QCOMPARE(f->isNull(), !value.isValid());
    if (value.typeId() == QMetaType::Double)
        QCOMPARE(f->asFloat(), value.toDouble());  // bit-exact, not fuzzy
    else if (value.typeId() == QMetaType::Int)
        QCOMPARE(f->asInteger(), value.toInt());
    else if (value.typeId() == QMetaType::Bool)
        QCOMPARE(f->asBoolean(), value.toBool());
    else if (value.typeId() == QMetaType::QDateTime)
        QCOMPARE(db::dateTimeFromAccessDays(f->asFloat()), value.toDateTime());
    else if (value.typeId() == QMetaType::QString)
        QCOMPARE(f->asString(), value.toString());
    const int column = set->fields().indexOf(f);
    QCOMPARE(set->displayText(set->currentRow(), column), text);
}

void tst_DataModule::longMemoReadWhole()
{
    // Well past the 16 KB a memo is cut to when read carelessly.
    std::string memo;
    for (int i = 0; memo.size() < 40000; ++i)
        memo += "Строка " + std::to_string(i) + " примечания.\n";
    StockFile stock;
    stock.add("Firma", {{"ID", n(1)}, {"Name", s("Sandvik")}});
    stock.add("Frezy", {{"ID", n(1)}, {"ID_Firma", n(1)}, {"Prim", memo}});
    open(stock);
    QCOMPARE(m_dm->dtset_FrezyPrim->asString(), QString::fromStdString(memo));
}

void tst_DataModule::jet3CyrillicText()
{
    StockFile stock(jetdb::Format::Jet3, 1251);
    stock.addSample();
    stock.add("Sverla", {{"ID", n(4)}, {"Kod", s("Сверло ёжик")}, {"Diam_Sverla", 0.5}, {"ID_Firma", n(1)}});
    open(stock);
    QCOMPARE(m_dm->dtset_SverlaKod->asString(), u"Сверло ёжик"_s);
    QCOMPARE(m_dm->dtset_DerjDerj_Name->asString(), u"Державка"_s);
}

void tst_DataModule::fileAndFolderUntouched()
{
    const QString path = write(StockFile().addSample());
    const QByteArray before = folderFingerprint(m_dir->path());
    m_dm->OpenBD(path);
    m_dm->dtset_Sverla->setSort(u"Kod"_s);
    m_dm->dtset_Dolgi->setSort(u"Date,KoD"_s);
    QVERIFY(m_dm->dtset_Sverla->locate(u"ID"_s, 2));
    QCOMPARE(folderFingerprint(m_dir->path()), before);
    m_dm->CloseBD();
    QCOMPARE(folderFingerprint(m_dir->path()), before);
}

void tst_DataModule::badFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("opened");  // data sets open after the failure

    QTemporaryDir dir;
    const QString good = dir.filePath(u"good.mdb"_s);
    StockFile().addSample().write(good);
    QFile file(good);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray valid = file.readAll();
    constexpr int page = 4096;

    QTest::newRow("text file") << QByteArray("[BD]\r\nPathToBD=C:\\tools.mdb\r\n") << 0;
    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("truncated to the header page") << valid.left(page) << 0;
    QTest::newRow("truncated mid-file") << valid.left(valid.size() / 2 + 123) << 0;

    QByteArray zeroed = valid;
    for (int offset = page; offset < zeroed.size(); offset += 2 * page)
        zeroed.replace(offset, page, QByteArray(page, '\0'));
    QTest::newRow("every other page zeroed") << zeroed << 0;

    QByteArray header = valid;
    header.replace(0, page, QByteArray(page, '\0'));
    QTest::newRow("header page zeroed") << header << 0;

    QRandomGenerator random(20261208);
    QByteArray noisy = valid;
    for (int offset = page; offset < noisy.size(); offset += page) {
        if (random.bounded(3) == 0) {
            for (int i = 0; i < page; ++i)
                noisy[offset + i] = char(random.bounded(256));
        }
    }
    QTest::newRow("random pages") << noisy << -1;

    QByteArray allRandom(valid.size(), Qt::Uninitialized);
    for (char &c : allRandom)
        c = char(random.bounded(256));
    QTest::newRow("random bytes") << allRandom << 0;

    const QString noDebts = dir.filePath(u"nodebts.mdb"_s);
    StockFile().addSample().dropTable("Dolgi").write(noDebts);
    QFile lacking(noDebts);
    QVERIFY(lacking.open(QIODevice::ReadOnly));
    QTest::newRow("database lacking a table") << lacking.readAll() << 4;
}

void tst_DataModule::badFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, opened);

    const QString path = m_dir->filePath(u"bad.mdb"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    const QByteArray before = folderFingerprint(m_dir->path());

    bool failed = false;
    try {
        m_dm->OpenBD(path);
    } catch (const db::Error &error) {
        failed = true;
        QVERIFY2(!error.text().trimmed().isEmpty(), "an error without a message");
    }
    // Random pages may happen to spare every page the queries read; any
    // other damage must be reported.
    if (opened >= 0) {
        QVERIFY(failed);
        const auto sets = dataSetsOf(*m_dm);
        for (int i = 0; i < sets.size(); ++i)
            QCOMPARE(sets[i]->active(), i < opened);
    }
    QCOMPARE(folderFingerprint(m_dir->path()), before);

    // The module stays usable: close what is open, then a sound file opens.
    m_dm->CloseBD();
    m_dm->OpenBD(write(StockFile().addSample(), u"good.mdb"_s));
    QCOMPARE(m_dm->dtset_Plast->recordCount(), 3);
}

void tst_DataModule::layoutsReadAlike_data()
{
    QTest::addColumn<jetdb::Layout>("layout");
    QTest::addColumn<FileChange>("change");   // made to the file afterwards, if any
    const auto plainWith = [](auto change) {
        jetdb::Layout layout = jetdb::Layout::plain();
        change(layout);
        return layout;
    };
    QTest::newRow("compressed text") << plainWith([](jetdb::Layout &l) { l.compressText = true; }) << FileChange();
    QTest::newRow("deleted rows") << plainWith([](jetdb::Layout &l) { l.deletedPerThousand = 300; }) << FileChange();
    QTest::newRow("memos on long-value pages")
        << plainWith([](jetdb::Layout &l) { l.longValuesInline = false; }) << FileChange();
    QTest::newRow("interleaved pages") << plainWith([](jetdb::Layout &l) { l.interleaved = true; }) << FileChange();
    QTest::newRow("all of them") << jetdb::Layout::realLayout(7) << FileChange();
    // The pages holding every table's usage maps claim a table as owner, as
    // other writers may leave them: they outlive that table's read.
    QTest::newRow("usage maps on a page a table owns") << jetdb::Layout::realLayout(7) << FileChange([](QFile &f) {
        QByteArray bytes = f.readAll();
        const auto owner = [&](qsizetype page) { return qFromLittleEndian<quint32>(bytes.constData() + page * 4096 + 4); };
        quint32 table = 0;
        for (qsizetype page = 1; page < bytes.size() / 4096 && !table; ++page)
            if (bytes[page * 4096] == 0x01 && owner(page) != 0 && owner(page) != 0x4C41564C)
                table = owner(page);
        int moved = 0;
        for (qsizetype page = 1; page < bytes.size() / 4096; ++page) {
            if (bytes[page * 4096] == 0x01 && owner(page) == 0) {
                qToLittleEndian(table, bytes.data() + page * 4096 + 4);
                ++moved;
            }
        }
        QVERIFY(table != 0 && moved > 0);
        f.seek(0);
        f.write(bytes);
    });
}

// The same stock, written plainly and as Access leaves a file, reads the same.
void tst_DataModule::layoutsReadAlike()
{
    QFETCH(jetdb::Layout, layout);
    QFETCH(FileChange, change);
    const stock::BenchSizes sizes{600, 300, 150, 300, 1500};
    const QString plain = m_dir->filePath(u"plain.mdb"_s), other = m_dir->filePath(u"other.mdb"_s);
    stock::writeBench(plain.toStdString(), sizes, 11, jetdb::Layout::plain());
    stock::writeBench(other.toStdString(), sizes, 11, layout);
    if (change) {
        QFile file(other);
        QVERIFY(file.open(QIODevice::ReadWrite));
        change(file);
    }
    QVERIFY(fileBytes(plain) != fileBytes(other));
    m_dm->OpenBD(plain);
    TDM dm;
    dm.OpenBD(other);
    compareDataSets(dm, *m_dm);
}

void tst_DataModule::fileChangedAfterOpen_data()
{
    QTest::addColumn<FileChange>("change");
    QTest::newRow("truncated to nothing") << FileChange([](QFile &f) { f.resize(0); });
    QTest::newRow("truncated mid-file") << FileChange([](QFile &f) { f.resize(f.size() / 2 + 100); });
    QTest::newRow("pages overwritten") << FileChange([](QFile &f) {
        for (qint64 at = 4096; at < f.size(); at += 3 * 4096) {
            f.seek(at);
            f.write(QByteArray(4096, char(0xA5)));
        }
    });
}

// Once open, what the file holds is the module's own: nothing shown changes,
// memos read after the change included, and nothing crashes.
void tst_DataModule::fileChangedAfterOpen()
{
    QFETCH(FileChange, change);
    const stock::BenchSizes sizes{300, 150, 60, 150, 800};
    const QString path = m_dir->filePath(u"stock.mdb"_s), copy = m_dir->filePath(u"copy.mdb"_s);
    stock::writeBench(path.toStdString(), sizes, 3);
    QVERIFY(QFile::copy(path, copy));
    m_dm->OpenBD(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    change(file);
    file.close();
    TDM dm;
    dm.OpenBD(copy);
    compareDataSets(*m_dm, dm);
}

void tst_DataModule::fileChangedWhileRead_data()
{
    QTest::addColumn<int>("changes");   // times the file is rewritten as it is read
    QTest::addColumn<int>("drills");    // -1: the open fails
    QTest::newRow("rewritten once") << 1 << 303;
    QTest::newRow("rewritten on every read") << 100 << -1;
}

// Another program rewriting the file while it is read: the open reads it
// again and shows the new file whole, or gives up saying why.
void tst_DataModule::fileChangedWhileRead()
{
    QFETCH(int, changes);
    QFETCH(int, drills);
    const QString path = write(StockFile().addSample());
    StockFile other;   // larger by some pages
    other.addSample();
    for (int id = 4; id < 304; ++id)
        other.add("Sverla", {{"ID", n(id)}, {"ID_Firma", n(1)}});
    const QByteArray versions[] = {fileBytes(path), fileBytes(write(other, u"other.mdb"_s))};
    QVERIFY(versions[0].size() != versions[1].size());
    int changed = 0;
    m_dm->ADOConnection1->setProgressHandler([&](const QString &table, int) {
        if (!table.isEmpty() || changed == changes)
            return;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(versions[++changed % 2]);
    });
    if (drills < 0) {
        QVERIFY_THROWS_EXCEPTION(db::Error, m_dm->OpenBD(path));
        try {
            m_dm->OpenBD(path);
        } catch (const db::Error &error) {
            QVERIFY2(error.text().contains(u"is being changed by another program"_s), qPrintable(error.text()));
        }
        return;
    }
    m_dm->OpenBD(path);
    QCOMPARE(m_dm->dtset_Sverla->recordCount(), drills);
}

QTEST_GUILESS_MAIN(tst_DataModule)
#include "tst_datamodule.moc"
