#include "file_lookup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace platform;

class tst_FileLookup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void resolve_data();
    void resolve();
    void exists_data();
    void exists();
    void relativeToCurrentDirectory();

private:
    QTemporaryDir m_dir;
    QString m_root;
};

// The tree the rows look in:
//   Images/Instrument/Sverlo_12.JPG
//   Images/Instrument/Фреза Д16.jpg
//   Images/NoFoto/null_img_1.jpg, NULL_IMG_1.jpg (two names differing in case)
//   Images/folder.jpg/               (a folder)
void tst_FileLookup::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_root = m_dir.path();
    QDir root(m_root);
    QVERIFY(root.mkpath("Images/Instrument"));
    QVERIFY(root.mkpath("Images/NoFoto"));
    QVERIFY(root.mkpath("Images/folder.jpg"));
    for (const char *name : {"Images/Instrument/Sverlo_12.JPG", "Images/Instrument/Фреза Д16.jpg",
                             "Images/NoFoto/null_img_1.jpg", "Images/NoFoto/NULL_IMG_1.jpg"}) {
        QFile f(root.filePath(QString::fromUtf8(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
}

void tst_FileLookup::resolve_data()
{
    QTest::addColumn<QString>("path");       // below the tree's root
    QTest::addColumn<QString>("expected");   // below the tree's root
    QTest::newRow("exact") << "/Images/Instrument/Sverlo_12.JPG" << "/Images/Instrument/Sverlo_12.JPG";
    QTest::newRow("backslashes") << "\\Images\\Instrument\\Sverlo_12.JPG" << "/Images/Instrument/Sverlo_12.JPG";
    QTest::newRow("case of the file name") << "/Images/Instrument/sverlo_12.jpg" << "/Images/Instrument/Sverlo_12.JPG";
    QTest::newRow("case of every folder") << "\\IMAGES\\instrument\\SVERLO_12.jpg" << "/Images/Instrument/Sverlo_12.JPG";
    QTest::newRow("cyrillic case") << "/images/INSTRUMENT/ФРЕЗА д16.JPG" << "/Images/Instrument/Фреза Д16.jpg";
    QTest::newRow("doubled separators") << "/Images\\\\instrument//Sverlo_12.JPG" << "/Images/Instrument/Sverlo_12.JPG";
    QTest::newRow("exact name preferred") << "/Images/NoFoto/NULL_IMG_1.jpg" << "/Images/NoFoto/NULL_IMG_1.jpg";
    QTest::newRow("several matches: first by name") << "/Images/NoFoto/Null_Img_1.jpg" << "/Images/NoFoto/NULL_IMG_1.jpg";
    QTest::newRow("missing file: unchanged") << "\\images\\Instrument\\none.jpg" << "/images/Instrument/none.jpg";
    QTest::newRow("missing folder: unchanged") << "/Pictures/Sverlo_12.JPG" << "/Pictures/Sverlo_12.JPG";
}

void tst_FileLookup::resolve()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QString nativeRoot = m_root;
    nativeRoot.replace(u'/', u'\\');
    QCOMPARE(resolvePath(m_root + path), m_root + expected);
    QCOMPARE(resolvePath(nativeRoot + path), m_root + expected);
}

void tst_FileLookup::exists_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("exists");
    QTest::newRow("file") << "/Images/Instrument/Sverlo_12.JPG" << true;
    QTest::newRow("file in other case, windows separators") << "\\images\\instrument\\sverlo_12.jpg" << true;
    QTest::newRow("folder") << "/Images/Instrument" << false;
    QTest::newRow("folder named like a file") << "/Images/FOLDER.JPG" << false;
    QTest::newRow("missing") << "/Images/Instrument/none.jpg" << false;
}

void tst_FileLookup::exists()
{
    QFETCH(QString, path);
    QFETCH(bool, exists);
    QCOMPARE(fileExists(m_root + path), exists);
}

void tst_FileLookup::relativeToCurrentDirectory()
{
    QVERIFY(!fileExists(QString()));
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_root + QStringLiteral("/Images")));
    const bool found = fileExists(QStringLiteral("instrument\\SVERLO_12.jpg"));
    const QString resolved = resolvePath(QStringLiteral("Instrument/sverlo_12.jpg"));
    QDir::setCurrent(saved);
    QVERIFY(found);
    QCOMPARE(resolved, QStringLiteral("Instrument/Sverlo_12.JPG"));
}

QTEST_GUILESS_MAIN(tst_FileLookup)
#include "tst_file_lookup.moc"
