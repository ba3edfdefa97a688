#include "private_profile.h"

#include "../support/file_size_limit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace platform;

class tst_PrivateProfile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void read_data();
    void read();
    void write_data();
    void write();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void unreadableFiles_data();
    void unreadableFiles();
    void hugeOrBinaryFiles();
    void links_data();
    void links();
    void configFileName_data();
    void configFileName();

private:
    QString m_file;
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void store(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray cp1251(const char *utf8)
{
    static const QHash<QChar, char> table = [] {
        QHash<QChar, char> t;
        for (int i = 0; i < 64; ++i)
            t.insert(QChar(0x0410 + i), char(0xC0 + i));
        return t;
    }();
    QByteArray out;
    for (QChar c : QString::fromUtf8(utf8))
        out += c.unicode() < 0x80 ? char(c.unicode()) : table.value(c, '?');
    return out;
}

} // namespace

void tst_PrivateProfile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_file = m_dir->filePath(QStringLiteral("morvel.INI"));
}

void tst_PrivateProfile::read_data()
{
    QTest::addColumn<QByteArray>("file");   // null: no file at all
    QTest::addColumn<QString>("expected");

    const QString path = QStringLiteral("/data/tools.mdb");
    QTest::newRow("no file") << QByteArray() << QString();
    QTest::newRow("empty file") << QByteArray("") << QString();
    QTest::newRow("no section") << QByteArray("[Other]\nPathToBD=/x\n") << QString();
    QTest::newRow("no key") << QByteArray("[BD]\nPath=/x\n") << QString();
    QTest::newRow("key before any section") << QByteArray("PathToBD=/x\n[BD]\n") << QString();
    QTest::newRow("key of the next section") << QByteArray("[BD]\n[Other]\nPathToBD=/x\n") << QString();
    QTest::newRow("key without equals sign") << QByteArray("[BD]\nPathToBD\n") << QString();
    QTest::newRow("plain") << QByteArray("[BD]\nPathToBD=/data/tools.mdb\n") << path;
    QTest::newRow("no final line break") << QByteArray("[BD]\nPathToBD=/data/tools.mdb") << path;
    QTest::newRow("windows line endings") << QByteArray("[BD]\r\nPathToBD=/data/tools.mdb\r\n") << path;
    QTest::newRow("letter case of names") << QByteArray("[bd]\npATHtObd=/data/tools.mdb\n") << path;
    QTest::newRow("blanks around everything")
        << QByteArray("  [ BD ]  \n\t PathToBD \t=  /data/tools.mdb \t \n") << path;
    QTest::newRow("empty value") << QByteArray("[BD]\nPathToBD=\n") << QString();
    QTest::newRow("comment line skipped")
        << QByteArray("[BD]\n;PathToBD=/old\nPathToBD=/data/tools.mdb\n") << path;
    QTest::newRow("first of two keys") << QByteArray("[BD]\nPathToBD=/data/tools.mdb\nPATHTOBD=/b\n") << path;
    QTest::newRow("equals sign in value") << QByteArray("[BD]\nPathToBD=/a=b\n") << QStringLiteral("/a=b");
    QTest::newRow("double quotes, blanks inside kept")
        << QByteArray("[BD]\nPathToBD= \" /x y \" \n") << QStringLiteral(" /x y ");
    QTest::newRow("single quotes") << QByteArray("[BD]\nPathToBD='/x'\n") << QStringLiteral("/x");
    QTest::newRow("only one pair of quotes")
        << QByteArray("[BD]\nPathToBD=\"\"/x\"\"\n") << QStringLiteral("\"/x\"");
    QTest::newRow("mismatched quotes kept") << QByteArray("[BD]\nPathToBD=\"/x'\n") << QStringLiteral("\"/x'");
    QTest::newRow("opening quote only") << QByteArray("[BD]\nPathToBD=\"/x\n") << QStringLiteral("\"/x");
    QTest::newRow("lone quote") << QByteArray("[BD]\nPathToBD=\"\n") << QStringLiteral("\"");
    QTest::newRow("utf-8 cyrillic with spaces")
        << QByteArray("[BD]\nPathToBD=/дом/Склад инструмента/база 1.mdb\n")
        << QStringLiteral("/дом/Склад инструмента/база 1.mdb");
    QTest::newRow("windows-1251 file")
        << (QByteArray("; ") + cp1251("Настройки") + "\r\n[BD]\r\nPathToBD=" + cp1251("C:\\Склад\\база.mdb") + "\r\n")
        << QStringLiteral("C:\\Склад\\база.mdb");
    QTest::newRow("windows-1251 file, undefined byte 0x98")
        << (QByteArray("[BD]\r\nPathToBD=") + cp1251("C:\\Склад") + "\x98" + cp1251("\\база.mdb") + "\r\n")
        << QStringLiteral("C:\\Склад\uFFFD\\база.mdb");
    QTest::newRow("utf-8 byte order mark")
        << QByteArray("\xEF\xBB\xBF[BD]\nPathToBD=/data/tools.mdb\n") << path;
    static const char withNul[] = "[X]\n\0\0\0\n[BD]\nPathToBD=/data/tools.mdb\n";
    QTest::newRow("NUL bytes elsewhere") << QByteArray(withNul, sizeof withNul - 1) << path;

    const QString longValue = QString(2046, u'a') + QStringLiteral("bcdef");
    QTest::newRow("cut to 2047 characters")
        << (QByteArray("[BD]\nPathToBD=") + longValue.toUtf8() + '\n') << longValue.first(2047);
    const QString longCyrillic = QString(3000, u'ж');
    QTest::newRow("cut counts characters, not bytes")
        << (QByteArray("[BD]\nPathToBD=") + longCyrillic.toUtf8()) << longCyrillic.first(2047);
    const QString pairAtCut = QString(2046, u'a') + QString::fromUcs4(U"\U0001F600") + u'z';
    QTest::newRow("surrogate pair at the cut kept whole")
        << (QByteArray("[BD]\nPathToBD=") + pairAtCut.toUtf8()) << pairAtCut.first(2048);
}

void tst_PrivateProfile::read()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    if (!file.isNull())
        store(m_file, file);
    const QString value = readProfileString(m_file, QStringLiteral("BD"), QStringLiteral("PathToBD"));
    QCOMPARE(value, expected);
    if (file.isNull())
        QCOMPARE(readProfileString(m_file, "BD", "PathToBD", "fallback"), QStringLiteral("fallback"));
}

void tst_PrivateProfile::write_data()
{
    QTest::addColumn<QByteArray>("before");   // null: no file at all
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray() << QStringLiteral("/data/tools.mdb")
                              << QByteArray("[BD]\nPathToBD=/data/tools.mdb\n");
    QTest::newRow("empty file") << QByteArray("") << QStringLiteral("/x")
                                << QByteArray("[BD]\nPathToBD=/x\n");
    QTest::newRow("only the key's line replaced, windows line endings")
        << QByteArray("; settings\r\n[Main]\r\nX = 1\r\n\r\n[bd]\r\n  pathtobd = /old  \r\nOther=2\r\n")
        << QStringLiteral("/new")
        << QByteArray("; settings\r\n[Main]\r\nX = 1\r\n\r\n[bd]\r\nPathToBD=/new\r\nOther=2\r\n");
    QTest::newRow("key added after the section's last line")
        << QByteArray("[BD]\nOther=1\n\n[Z]\nPathToBD=/z\n") << QStringLiteral("/new")
        << QByteArray("[BD]\nOther=1\nPathToBD=/new\n\n[Z]\nPathToBD=/z\n");
    QTest::newRow("key added to a section ending the file")
        << QByteArray("[BD]\r\nOther=1") << QStringLiteral("/new")
        << QByteArray("[BD]\r\nOther=1\r\nPathToBD=/new");
    QTest::newRow("section added, no final line break")
        << QByteArray("[A]\r\nk=v") << QStringLiteral("/new")
        << QByteArray("[A]\r\nk=v\r\n[BD]\r\nPathToBD=/new\r\n");
    QTest::newRow("commented-out key left alone")
        << QByteArray("[BD]\n;PathToBD=/old\n") << QStringLiteral("/new")
        << QByteArray("[BD]\n;PathToBD=/old\nPathToBD=/new\n");
    QTest::newRow("byte order mark kept")
        << QByteArray("\xEF\xBB\xBF[BD]\nPathToBD=/old\n") << QStringLiteral("/new")
        << QByteArray("\xEF\xBB\xBF[BD]\nPathToBD=/new\n");
    QTest::newRow("cyrillic path with spaces")
        << QByteArray("[BD]\nPathToBD=/old\n") << QStringLiteral("/дом/Склад инструмента/база 1.mdb")
        << QByteArray("[BD]\nPathToBD=/дом/Склад инструмента/база 1.mdb\n");
    QTest::newRow("windows-1251 file stays windows-1251")
        << (cp1251("; Путь\r\n[BD]\r\nPathToBD=C:\\Старый.mdb\r\n")) << QStringLiteral("/дом/Новая база.mdb")
        << (cp1251("; Путь\r\n[BD]\r\nPathToBD=/дом/Новая база.mdb\r\n"));
    QTest::newRow("windows-1251 file turned utf-8 for a foreign character")
        << (cp1251("; Путь\n[BD]\nPathToBD=/old\n")) << QStringLiteral("/data/日本.mdb")
        << QByteArray("; Путь\n[BD]\nPathToBD=/data/日本.mdb\n");
    QTest::newRow("blanks at the ends quoted")
        << QByteArray() << QStringLiteral(" /x ") << QByteArray("[BD]\nPathToBD=\" /x \"\n");
    QTest::newRow("enclosing quotes quoted")
        << QByteArray() << QStringLiteral("'/x'") << QByteArray("[BD]\nPathToBD=\"'/x'\"\n");
    QTest::newRow("inner quote as it is")
        << QByteArray() << QStringLiteral("/it's.mdb") << QByteArray("[BD]\nPathToBD=/it's.mdb\n");
}

// Every row also reads its value back: what is written is what the next
// refresh gets.
void tst_PrivateProfile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (!before.isNull())
        store(m_file, before);
    writeProfileString(m_file, QStringLiteral("BD"), QStringLiteral("PathToBD"), value);
    QCOMPARE(contents(m_file), after);
    QCOMPARE(readProfileString(m_file, QStringLiteral("BD"), QStringLiteral("PathToBD")), value);
}

void tst_PrivateProfile::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("line break in value") << QStringLiteral("/x\n[Evil]\nk=v") << false;
    QTest::newRow("carriage return in value") << QStringLiteral("/x\r") << false;
    QTest::newRow("disk full") << QString(1500, u'x') << true;
}

void tst_PrivateProfile::failedWriteKeepsOldFile()
{
    QFETCH(QString, value);
    QFETCH(bool, diskFull);
    const QByteArray old = "; keep me\n[BD]\nPathToBD=/old.mdb\n" + QByteArray(1000, ';') + '\n';
    store(m_file, old);
    {
        FileSizeLimit limit(diskFull ? 1200 : RLIM_INFINITY);
        QVERIFY(limit.active());
        QVERIFY_THROWS_EXCEPTION(ProfileError,
                                 writeProfileString(m_file, "BD", "PathToBD", value));
    }
    QCOMPARE(contents(m_file), old);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList {QStringLiteral("morvel.INI")});   // no temporary left behind
}

void tst_PrivateProfile::unreadableFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("readThrows");
    // The folder is a regular file: nothing can be created "inside" it.
    QTest::newRow("folder is a file") << QStringLiteral("plain/morvel.INI") << false;
    QTest::newRow("folder is missing") << QStringLiteral("missing/morvel.INI") << false;
    QTest::newRow("path is a folder") << QStringLiteral("folder") << false;
    QTest::newRow("pseudo file system") << QStringLiteral("/proc/morvel-test.INI") << false;
    QTest::newRow("file that fails on reading") << QStringLiteral("/proc/self/mem") << true;
    QTest::newRow("endless device") << QStringLiteral("/dev/zero") << true;
}

void tst_PrivateProfile::unreadableFiles()
{
    QFETCH(QString, file);
    QFETCH(bool, readThrows);
    store(m_dir->filePath(QStringLiteral("plain")), "not a folder");
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    const QString path = file.startsWith(u'/') ? file : m_dir->filePath(file);

    if (readThrows)
        QVERIFY_THROWS_EXCEPTION(ProfileError, readProfileString(path, "BD", "PathToBD"));
    else
        QCOMPARE(readProfileString(path, "BD", "PathToBD", "default"), QStringLiteral("default"));
    QVERIFY_THROWS_EXCEPTION(ProfileError, writeProfileString(path, "BD", "PathToBD", "/x"));
}

void tst_PrivateProfile::hugeOrBinaryFiles()
{
    // 16 MiB of noise with line breaks here and there, not valid UTF-8.
    QByteArray noise(16 * 1024 * 1024, Qt::Uninitialized);
    quint32 state = 12345;
    for (char &c : noise) {
        state = state * 1103515245u + 12345u;
        c = char(state >> 24);
    }
    store(m_file, noise);
    QCOMPARE(readProfileString(m_file, "BD", "PathToBD"), QString());
    writeProfileString(m_file, "BD", "PathToBD", "/data/tools.mdb");
    const QByteArray after = contents(m_file);
    QVERIFY(after.startsWith(noise));
    QCOMPARE(readProfileString(m_file, "BD", "PathToBD"), QStringLiteral("/data/tools.mdb"));

    // Far bigger than any configuration file: refused, not read into memory.
    QFile big(m_file);
    QVERIFY(big.resize(100 * 1024 * 1024));
    QVERIFY_THROWS_EXCEPTION(ProfileError, readProfileString(m_file, "BD", "PathToBD"));
    QVERIFY_THROWS_EXCEPTION(ProfileError, writeProfileString(m_file, "BD", "PathToBD", "/x"));
    QCOMPARE(QFileInfo(m_file).size(), 100 * 1024 * 1024);
}

// The configuration file beside the executable may be a link into a folder
// others may write to (the package's /opt/morvel/morvel.INI). That link is
// followed and kept; a second one planted in that folder is not followed: it
// reads as no file, and a write replaces it with a regular file, the file it
// names never read nor changed.
void tst_PrivateProfile::links_data()
{
    QTest::addColumn<bool>("absolute");       // the link beside the executable
    QTest::addColumn<QByteArray>("shared");   // the file it leads to; null: none
    QTest::addColumn<QString>("planted");     // a link in its place; empty: none
    QTest::addColumn<QString>("readBefore");
    QTest::addColumn<QByteArray>("after");

    const QByteArray old = "; kept\n[BD]\nPathToBD=/old\n";
    const QByteArray fresh = "[BD]\nPathToBD=/new\n";
    QTest::newRow("relative link") << false << old << QString() << "/old" << QByteArray("; kept\n") + fresh;
    QTest::newRow("absolute link") << true << old << QString() << "/old" << QByteArray("; kept\n") + fresh;
    QTest::newRow("link to no file yet") << false << QByteArray() << QString() << QString() << fresh;
    QTest::newRow("planted link to a file") << true << QByteArray() << "../secret" << QString() << fresh;
    QTest::newRow("planted absolute link") << false << QByteArray() << "*/secret" << QString() << fresh;
    QTest::newRow("planted link to no file") << false << QByteArray() << "../made" << QString() << fresh;
    QTest::newRow("planted link to the link") << false << QByteArray() << "../morvel.INI" << QString() << fresh;
}

void tst_PrivateProfile::links()
{
    QFETCH(bool, absolute);
    QFETCH(QByteArray, shared);
    QFETCH(QString, planted);
    QFETCH(QString, readBefore);
    QFETCH(QByteArray, after);

    QVERIFY(QDir(m_dir->path()).mkdir("shared"));
    const QString real = m_dir->filePath("shared/morvel.INI");
    const QString link = absolute ? real : QStringLiteral("shared/morvel.INI");
    QVERIFY(QFile::link(link, m_file));
    const QString secret = m_dir->filePath("secret");
    const QByteArray secretBytes = "[BD]\nPathToBD=/secret\n";
    store(secret, secretBytes);
    const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(secret, mode));
    if (!shared.isNull()) {
        store(real, shared);
        QVERIFY(QFile::setPermissions(real, mode));
    }
    if (!planted.isEmpty())
        QVERIFY(QFile::link(planted.replace(u'*', m_dir->path()), real));

    QCOMPARE(readProfileString(m_file, "BD", "PathToBD"), readBefore);
    writeProfileString(m_file, "BD", "PathToBD", "/new");
    QCOMPARE(QFileInfo(m_file).symLinkTarget(), real);
    QVERIFY(!QFileInfo(real).isSymLink());
    QCOMPARE(contents(real), after);
    QCOMPARE(readProfileString(m_file, "BD", "PathToBD"), QStringLiteral("/new"));
    QCOMPARE(contents(secret), secretBytes);
    const auto ownerGroupOther = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
        | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFile::permissions(secret) & ownerGroupOther, mode);
    if (!shared.isNull())   // a file replaced keeps its permissions
        QCOMPARE(QFile::permissions(real) & ownerGroupOther, mode);
    QVERIFY(!QFile::exists(m_dir->filePath("made")));
}

void tst_PrivateProfile::configFileName_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("config");
    QTest::newRow("no extension") << "/opt/morvel/morvel" << "/opt/morvel/morvel.INI";
    QTest::newRow("dot in a folder only") << "/opt/m.v/morvel" << "/opt/m.v/morvel.INI";
    QTest::newRow("extension replaced") << "/opt/morvel.exe" << "/opt/morvel.INI";
    QTest::newRow("last dot counts") << "/opt/morvel.0.2.bin" << "/opt/morvel.0.2.INI";
    QTest::newRow("windows path") << "C:\\Prog.d\\MORVEL.EXE" << "C:\\Prog.d\\MORVEL.INI";
}

void tst_PrivateProfile::configFileName()
{
    QFETCH(QString, executable);
    QFETCH(QString, config);
    QCOMPARE(configFileFor(executable), config);
}

QTEST_GUILESS_MAIN(tst_PrivateProfile)
#include "tst_private_profile.moc"
