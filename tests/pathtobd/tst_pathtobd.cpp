#include "frm_PathToBD_Unit.h"

#include "../support/fake_message_boxes.h"
#include "../support/file_size_limit.h"
#include "private_profile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Answers each run of the chooser from a script: a path confirms it, an
// empty optional is the user cancelling.
class ScriptedChooser : public platform::FileChooser {
public:
    std::optional<QString> choose(QWidget *) override
    {
        ++runs;
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
    QList<std::optional<QString>> answers;
    int runs = 0;
};

const QString kAskForPath = QStringLiteral("Задайте путь к файлу БД");
const QString kCannotSave = QStringLiteral("#203 Невозможно сохранить файл конфигурации!  ");

QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void store(const QString &file, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class tst_PathToBD : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void form();
    void centredOverMainWindowEachTime();
    void firstUseWithoutConfigFile();
    void saves_data();
    void saves();
    void pathThatIsNoFile_data();
    void pathThatIsNoFile();
    void cancelAfterChoosingKeepsPathInMemoryOnly();
    void chooserCancelledChangesNothing();
    void saveFailure_data();
    void saveFailure();
    void keyboard_data();
    void keyboard();

private:
    QString file(const QString &name) const { return m_dir->filePath(name); }
    void makeDialog(const QString &configFile);
    void showDialog();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QWidget> m_mainWindow;
    std::unique_ptr<Tfrm_PathToBD> m_dialog;
    std::unique_ptr<FakeMessageBoxes> m_boxes;
    ScriptedChooser *m_chooser = nullptr;
    QString m_pathToBD;   // stands for the main window's FPathToBD
    QString m_config;
};

void tst_PathToBD::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_boxes = std::make_unique<FakeMessageBoxes>();
    m_mainWindow = std::make_unique<QWidget>();
    m_mainWindow->setGeometry(100, 80, 1197, 661);
    m_mainWindow->show();
    m_pathToBD.clear();
    store(file("tools.mdb"), "Standard Jet DB");
    makeDialog(file("morvel.INI"));
}

void tst_PathToBD::cleanup()
{
    m_dialog.reset();
    m_mainWindow.reset();
    m_boxes.reset();
    m_dir.reset();
}

void tst_PathToBD::makeDialog(const QString &configFile)
{
    m_config = configFile;
    m_dialog = std::make_unique<Tfrm_PathToBD>(m_pathToBD, m_config, m_mainWindow.get());
    auto chooser = std::make_unique<ScriptedChooser>();
    m_chooser = chooser.get();
    m_dialog->OpenDialog = std::move(chooser);
}

// Shown without a nested event loop, so the test can go on acting.
void tst_PathToBD::showDialog()
{
    m_dialog->show();
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
}

void tst_PathToBD::form()
{
    Tfrm_PathToBD &d = *m_dialog;
    QCOMPARE(d.windowTitle(), QStringLiteral("Путь к БД"));
    QCOMPARE(d.minimumSize(), QSize(585, 127));
    QCOMPARE(d.maximumSize(), QSize(585, 127));
    QVERIFY(!(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(d.windowFlags() & Qt::WindowCloseButtonHint);

    QCOMPARE(d.Label1->pos(), QPoint(16, 8));
    QCOMPARE(d.Label1->text(), QStringLiteral("Путь к файлу базы данных"));
    QVERIFY(d.Label1->font().bold());
    QCOMPARE(d.Label1->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    QCOMPARE(d.ed_Path->geometry(), QRect(16, 32, 505, 21));
    QVERIFY(d.ed_Path->isReadOnly());
    QCOMPARE(d.spbt_Open->geometry(), QRect(536, 24, 31, 30));
    QCOMPARE(d.spbt_Open->focusPolicy(), Qt::NoFocus);
    QVERIFY(d.spbt_Open->text().isEmpty() && !d.spbt_Open->icon().isNull());
    QCOMPARE(d.bbtn_OK->geometry(), QRect(472, 80, 91, 33));
    QCOMPARE(d.bbtn_OK->text(), QStringLiteral("OK"));
    QVERIFY(d.bbtn_OK->isDefault());
    QCOMPARE(d.bbtn_Cancel->geometry(), QRect(368, 80, 91, 33));
    QCOMPARE(d.bbtn_Cancel->text(), QStringLiteral("Cancel"));

    // Tab order: the path box, OK, Cancel, and round again.
    showDialog();
    QCOMPARE(QApplication::focusWidget(), d.ed_Path);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), d.bbtn_OK);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), d.bbtn_Cancel);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), d.ed_Path);
}

void tst_PathToBD::centredOverMainWindowEachTime()
{
    // Both places keep the dialog inside the test screen, which the window
    // system would otherwise push it back into.
    for (const QRect mainAt : {QRect(20, 30, 640, 400), QRect(140, 170, 620, 380)}) {
        m_mainWindow->setGeometry(mainAt);
        showDialog();
        QVERIFY((m_dialog->frameGeometry().center() - m_mainWindow->frameGeometry().center())
                    .manhattanLength() <= 2);
        m_dialog->move(0, 0);   // moved away by the user; forgotten on the next show
        m_dialog->hide();
    }
}

void tst_PathToBD::firstUseWithoutConfigFile()
{
    showDialog();
    QVERIFY(m_dialog->ed_Path->text().isEmpty());

    m_dialog->bbtn_Cancel->setFocus();
    m_dialog->bbtn_OK->click();
    QCOMPARE(m_boxes->texts(), QStringList {kAskForPath});
    QCOMPARE(QApplication::focusWidget(), m_dialog->ed_Path);
    QVERIFY(m_dialog->isVisible());
    QVERIFY(!QFile::exists(m_config));

    m_chooser->answers = {file("tools.mdb")};
    m_dialog->spbt_Open->click();
    QCOMPARE(m_dialog->ed_Path->text(), file("tools.mdb"));
    QCOMPARE(m_pathToBD, file("tools.mdb"));

    m_dialog->bbtn_OK->click();
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(contents(m_config), "[BD]\nPathToBD=" + file("tools.mdb").toUtf8() + '\n');
}

// Each row: the configuration file before (null: none), the database file
// chosen, and the configuration file after. The next refresh must read back
// exactly the chosen path.
void tst_PathToBD::saves_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QByteArray>("after");   // "%1" stands for the chosen path

    QTest::newRow("no configuration file") << QByteArray() << "tools.mdb"
                                           << QByteArray("[BD]\nPathToBD=%1\n");
    QTest::newRow("other sections, comments, windows line endings")
        << QByteArray("; Morvel\r\n[Window]\r\nLeft=10\r\n\r\n[bd]\r\n pathtobd = C:\\old.mdb \r\nExtra = 1\r\n")
        << "tools.mdb"
        << QByteArray("; Morvel\r\n[Window]\r\nLeft=10\r\n\r\n[bd]\r\nPathToBD=%1\r\nExtra = 1\r\n");
    QTest::newRow("section without the key")
        << QByteArray("[BD]\r\nOther=1\r\n\r\n[Z]\r\n") << "tools.mdb"
        << QByteArray("[BD]\r\nOther=1\r\nPathToBD=%1\r\n\r\n[Z]\r\n");
    QTest::newRow("cyrillic path with spaces")
        << QByteArray("[BD]\nPathToBD=/old.mdb\n") << "Склад инструмента/база данных 1.mdb"
        << QByteArray("[BD]\nPathToBD=%1\n");
}

void tst_PathToBD::saves()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, chosen);
    QFETCH(QByteArray, after);
    const QString database = file(chosen);
    store(database, "Standard Jet DB");
    if (!before.isNull())
        store(m_config, before);

    showDialog();
    m_chooser->answers = {database};
    m_dialog->spbt_Open->click();
    m_dialog->bbtn_OK->click();

    QVERIFY(m_boxes->shown.isEmpty());
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(contents(m_config), after.replace("%1", database.toUtf8()));
    QCOMPARE(platform::readProfileString(m_config, "BD", "PathToBD"), database);
}

void tst_PathToBD::pathThatIsNoFile_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::newRow("typed name of a missing file") << "missing.mdb";
    QTest::newRow("folder") << "folder.mdb";
}

void tst_PathToBD::pathThatIsNoFile()
{
    QFETCH(QString, chosen);
    QVERIFY(QDir(m_dir->path()).mkdir("folder.mdb"));
    const QString path = file(chosen);

    showDialog();
    m_chooser->answers = {path};
    m_dialog->spbt_Open->click();
    QCOMPARE(m_dialog->ed_Path->text(), path);
    m_dialog->bbtn_OK->click();

    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Ошибка чтения файла : ") + path});
    QVERIFY(m_dialog->isVisible());
    QVERIFY(!QFile::exists(m_config));
}

void tst_PathToBD::cancelAfterChoosingKeepsPathInMemoryOnly()
{
    const QByteArray saved = "[BD]\nPathToBD=" + file("tools.mdb").toUtf8() + '\n';
    store(m_config, saved);
    store(file("other.mdb"), "Standard Jet DB");
    m_pathToBD = file("tools.mdb");

    showDialog();
    QCOMPARE(m_dialog->ed_Path->text(), file("tools.mdb"));
    m_chooser->answers = {file("other.mdb")};
    m_dialog->spbt_Open->click();
    m_dialog->bbtn_Cancel->click();

    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(contents(m_config), saved);
    QCOMPARE(m_pathToBD, file("other.mdb"));
    showDialog();
    QCOMPARE(m_dialog->ed_Path->text(), file("other.mdb"));
    QCOMPARE(platform::readProfileString(m_config, "BD", "PathToBD"), file("tools.mdb"));
    QVERIFY(m_boxes->shown.isEmpty());
}

void tst_PathToBD::chooserCancelledChangesNothing()
{
    m_pathToBD = file("tools.mdb");
    showDialog();
    m_chooser->answers = {std::nullopt};
    m_dialog->spbt_Open->click();
    QCOMPARE(m_chooser->runs, 1);
    QCOMPARE(m_dialog->ed_Path->text(), file("tools.mdb"));
    QCOMPARE(m_pathToBD, file("tools.mdb"));

    m_dialog->bbtn_OK->click();
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(platform::readProfileString(m_config, "BD", "PathToBD"), file("tools.mdb"));
}

// Tests may run as root, for whom permissions stop nothing: the folder is a
// regular file, or the disk fills up while the new file is written.
void tst_PathToBD::saveFailure_data()
{
    QTest::addColumn<bool>("folderIsFile");
    QTest::newRow("folder is a regular file") << true;
    QTest::newRow("disk full") << false;
}

void tst_PathToBD::saveFailure()
{
    QFETCH(bool, folderIsFile);
    QByteArray old;
    if (folderIsFile) {
        store(file("plain"), "not a folder");
        makeDialog(file("plain/morvel.INI"));
    } else {
        old = "; the old file\n[BD]\nPathToBD=/old.mdb\n" + QByteArray(2000, ';') + '\n';
        store(m_config, old);
    }
    // A path long enough that the new file outgrows the old one.
    const QString database = file(QString(100, u'a') + u'/' + QString(100, u'b') + QStringLiteral("/tools.mdb"));
    store(database, "Standard Jet DB");

    showDialog();
    m_chooser->answers = {database};
    m_dialog->spbt_Open->click();
    {
        FileSizeLimit limit(old.size() + 100);
        QVERIFY(limit.active());
        m_dialog->bbtn_OK->click();
    }

    QCOMPARE(m_boxes->texts(), QStringList {kCannotSave});
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_pathToBD, database);
    if (folderIsFile)
        QCOMPARE(contents(file("plain")), QByteArray("not a folder"));
    else
        QCOMPARE(contents(m_config), old);
}

void tst_PathToBD::keyboard_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("okRan");
    QTest::addColumn<bool>("closed");
    QTest::newRow("Enter in the path box is OK") << "ed_Path" << int(Qt::Key_Return) << true << false;
    QTest::newRow("keypad Enter is OK") << "ed_Path" << int(Qt::Key_Enter) << true << false;
    QTest::newRow("Enter on Cancel cancels") << "bbtn_Cancel" << int(Qt::Key_Return) << false << true;
    QTest::newRow("Esc cancels") << "ed_Path" << int(Qt::Key_Escape) << false << true;
    QTest::newRow("Esc on OK cancels") << "bbtn_OK" << int(Qt::Key_Escape) << false << true;
}

// With no path known, OK answers with its message and stays open; cancel
// closes without a word.
void tst_PathToBD::keyboard()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, okRan);
    QFETCH(bool, closed);
    showDialog();
    auto *target = m_dialog->findChild<QWidget *>(focus);
    QVERIFY(target);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QCOMPARE(m_boxes->texts(), okRan ? QStringList {kAskForPath} : QStringList());
    QCOMPARE(!m_dialog->isVisible(), closed);
    QVERIFY(!QFile::exists(m_config));
}

QTEST_MAIN(tst_PathToBD)
#include "tst_pathtobd.moc"
