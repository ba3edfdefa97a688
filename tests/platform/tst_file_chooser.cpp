#include "file_chooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace platform;

class tst_FileChooser : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void nameFilters_data();
    void nameFilters();
    void typedMissingNameThenCancel();

private:
    QTemporaryDir m_home;
};

// Qt would keep the dialog's state in the user's configuration folder:
// point that at a fresh folder, to see that nothing lands there.
void tst_FileChooser::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
}

void tst_FileChooser::nameFilters_data()
{
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QStringList>("qt");
    QTest::newRow("patterns already in the description")
        << "БД microsoft Access (*.mdb)|*.mdb" << QStringList {"БД microsoft Access (*.mdb)"};
    QTest::newRow("patterns added") << "Access|*.mdb" << QStringList {"Access (*.mdb)"};
    QTest::newRow("brackets that differ from the pattern")
        << "Access (old)|*.mdb" << QStringList {"Access (old) (*.mdb)"};
    QTest::newRow("several entries and patterns")
        << "Pictures|*.jpg;*.jpeg|All files|*.*" << QStringList {"Pictures (*.jpg *.jpeg)", "All files (*.*)"};
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("description without pattern") << "Access" << QStringList();
}

void tst_FileChooser::nameFilters()
{
    QFETCH(QString, windows);
    QFETCH(QStringList, qt);
    QCOMPARE(qtNameFilters(windows), qt);
}

// The real dialog, driven from a timer while it runs: a typed name of a file
// that does not exist is accepted, the next run starts from it, and no run
// leaves a file behind.
void tst_FileChooser::typedMissingNameThenCancel()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("base"));
    const QString folder = dir.filePath("base");
    OpenFileChooser chooser(QStringLiteral("БД microsoft Access (*.mdb)|*.mdb"));
    QWidget owner;
    owner.show();

    struct Seen {
        bool found = false;
        QStringList filters;
        QFileDialog::FileMode mode {};
        bool nonNative = false, sizeGrip = false;
        QString directory, typed;
    } seen;
    auto inspect = [&](bool accept, const QString &type) {
        QTimer::singleShot(0, this, [&seen, accept, type] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen.found = true;
            seen.filters = dialog->nameFilters();
            seen.mode = dialog->fileMode();
            seen.nonNative = dialog->testOption(QFileDialog::DontUseNativeDialog);
            seen.sizeGrip = dialog->isSizeGripEnabled();
            seen.directory = dialog->directory().absolutePath();
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            seen.typed = edit ? edit->text() : QString();
            if (!accept) {
                dialog->reject();
                return;
            }
            if (edit)
                edit->setText(type);
            // Should the chooser insist on an existing file, it warns in a
            // box of its own: close that, then the chooser, instead of hanging.
            QTimer::singleShot(1000, dialog, [dialog] {
                if (auto *warning = qobject_cast<QDialog *>(QApplication::activeModalWidget()); warning && warning != dialog)
                    warning->reject();
                dialog->reject();
            });
            static_cast<QDialog *>(dialog)->accept();   // QFileDialog::accept checks the name
        });
    };

    inspect(true, folder + QStringLiteral("/missing.mdb"));
    const std::optional<QString> chosen = chooser.choose(&owner);
    QVERIFY(seen.found);
    QCOMPARE(seen.filters, QStringList {QStringLiteral("БД microsoft Access (*.mdb)")});
    QCOMPARE(seen.mode, QFileDialog::AnyFile);
    QVERIFY(seen.nonNative);
    QVERIFY(seen.sizeGrip);
    QCOMPARE(chosen, std::optional<QString>(folder + QStringLiteral("/missing.mdb")));

    seen = Seen();
    inspect(false, QString());
    QCOMPARE(chooser.choose(&owner), std::nullopt);
    QVERIFY(seen.found);
    QCOMPARE(seen.directory, folder);
    QCOMPARE(seen.typed, QStringLiteral("missing.mdb"));
    QCOMPARE(chooser.lastName(), folder + QStringLiteral("/missing.mdb"));
    QCOMPARE(QDir(m_home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());   // no QtProject.conf
}

QTEST_MAIN(tst_FileChooser)
#include "tst_file_chooser.moc"
