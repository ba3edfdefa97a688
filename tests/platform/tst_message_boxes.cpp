#include "message_box.h"

#include "../support/fake_message_boxes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace platform;

class tst_MessageBoxes : public QObject {
    Q_OBJECT

private slots:
    void errorReportText_data();
    void errorReportText();
    void applicationTitle_data();
    void applicationTitle();
    void defaultBoxes_data();
    void defaultBoxes();
    void installedBoxesTakeOver();
};

void tst_MessageBoxes::errorReportText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Cannot open" << "Cannot open.";
    QTest::newRow("cyrillic letter") << "Ошибка" << "Ошибка.";
    QTest::newRow("digit") << "Error 5" << "Error 5.";
    QTest::newRow("slash, just after the full stop") << "C:/x/" << "C:/x/.";
    QTest::newRow("full stop") << "Done." << "Done.";
    QTest::newRow("exclamation mark") << "Wow!" << "Wow!";
    QTest::newRow("blank") << "Trailing " << "Trailing ";
    QTest::newRow("hyphen, just before the full stop") << "a-" << "a-";
    QTest::newRow("closing bracket") << "(x)" << "(x)";
    QTest::newRow("carriage return") << "Line\r" << "Line\r";
    QTest::newRow("empty stays empty") << "" << "";
}

void tst_MessageBoxes::errorReportText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(platform::errorReportText(text), shown);
}

void tst_MessageBoxes::applicationTitle_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("title");
    QTest::newRow("this platform") << "/opt/morvel/morvel" << "morvel";
    QTest::newRow("windows name") << "C:\\Program Files\\MORVEL.EXE" << "Morvel";
    QTest::newRow("cut at the first dot") << "/opt/Morvel.0.2.bin" << "Morvel";
    QTest::newRow("dot in the folder only") << "/opt/v1.2/TOOLS" << "Tools";
    QTest::newRow("first letter kept as it is") << "/opt/mORVEL" << "morvel";
    QTest::newRow("cyrillic") << "/opt/МОРВЕЛ.exe" << "Морвел";
    QTest::newRow("name starting with a dot") << "/opt/.hidden" << "";
}

void tst_MessageBoxes::applicationTitle()
{
    QFETCH(QString, executable);
    QFETCH(QString, title);
    QCOMPARE(platform::applicationTitle(executable), title);
}

void tst_MessageBoxes::defaultBoxes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shownText");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("icon");
    const QString title = QStringLiteral("tst_message_boxes");
    QTest::newRow("plain") << int(RecordedBox::Plain) << "Задайте путь к файлу БД"
                           << "Задайте путь к файлу БД" << title << int(QMessageBox::NoIcon);
    QTest::newRow("plain, markup shown as text") << int(RecordedBox::Plain) << "<b>/x.mdb</b>"
                                                 << "<b>/x.mdb</b>" << title << int(QMessageBox::NoIcon);
    QTest::newRow("error, carriage return breaks the line")
        << int(RecordedBox::Error) << "file : \rResource" << "file : \nResource"
        << "Ошибка" << int(QMessageBox::Critical);
    QTest::newRow("error report") << int(RecordedBox::ErrorReport) << "Cannot open."
                                  << "Cannot open." << title << int(QMessageBox::Critical);
}

// The real boxes, answered from a timer while they run.
void tst_MessageBoxes::defaultBoxes()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, shownText);
    QFETCH(QString, caption);
    QFETCH(int, icon);

    QWidget owner;
    owner.setGeometry(50, 50, 300, 200);
    owner.show();

    struct Seen {
        bool found = false;
        QString caption, text;
        int icon = -1;
        Qt::TextFormat format = Qt::AutoText;
        QMessageBox::StandardButtons buttons;
        qsizetype buttonCount = 0;
        QWidget *parent = nullptr;
        QPoint centre;
    } seen;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.found = true;
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.format = box->textFormat();
        seen.buttons = box->standardButtons();
        seen.buttonCount = box->buttons().size();
        seen.parent = box->parentWidget();
        seen.centre = box->frameGeometry().center();
        box->button(QMessageBox::Ok)->click();
    });

    switch (RecordedBox::Kind(kind)) {
    case RecordedBox::Plain: messageBoxes().plain(text); break;
    case RecordedBox::Error: messageBoxes().error(&owner, caption, text); break;
    case RecordedBox::ErrorReport: messageBoxes().errorReport(text); break;
    }

    QVERIFY(seen.found);
    QCOMPARE(seen.caption, caption);
    QCOMPARE(seen.text, shownText);
    QCOMPARE(seen.icon, icon);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(seen.buttonCount, 1);
    if (kind == RecordedBox::Error) {
        QCOMPARE(seen.parent, &owner);
    } else {
        QCOMPARE(seen.parent, nullptr);
        const QPoint screenCentre = owner.screen()->availableGeometry().center();
        QVERIFY2((seen.centre - screenCentre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("box centred at %1,%2").arg(seen.centre.x()).arg(seen.centre.y())));
    }
}

void tst_MessageBoxes::installedBoxesTakeOver()
{
    MessageBoxes *const defaultBoxes = &messageBoxes();
    {
        FakeMessageBoxes fake;
        QCOMPARE(&messageBoxes(), &fake);
        messageBoxes().plain("a");
        messageBoxes().error(nullptr, "Ошибка", "b");
        messageBoxes().errorReport("c");
        const QList<RecordedBox> expected {{RecordedBox::Plain, {}, "a", nullptr},
                                           {RecordedBox::Error, "Ошибка", "b", nullptr},
                                           {RecordedBox::ErrorReport, {}, "c", nullptr}};
        QCOMPARE(fake.shown, expected);
    }
    QCOMPARE(&messageBoxes(), defaultBoxes);
}

QTEST_MAIN(tst_MessageBoxes)
#include "tst_message_boxes.moc"
