// The plain widgets the forms are built from: picture fitting, status bar
// panels, anchoring and hidden hints, the drawn glyphs and the memo's wrapping.
#include "db_edit.h"
#include "form_setup.h"
#include "glyphs.h"
#include "image_view.h"
#include "status_bar.h"

#include <QHelpEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPromise>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>

class tst_Widgets : public QObject {
    Q_OBJECT
private slots:
    void imageFits_data();
    void imageFits();
    void imageShowsOverBackground();
    void imageLatestRequestWins();
    void statusBarPanels();
    void anchors_data();
    void anchors();
    void hintsNeverShown();
    void glyphs();
    void memoWrapsWithoutScrollBars();
};

void tst_Widgets::imageFits_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("view");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("wide, reduced") << QSize(1000, 200) << QSize(249, 129) << QRect(0, 40, 249, 49);
    QTest::newRow("wide, enlarged") << QSize(100, 50) << QSize(241, 129) << QRect(0, 4, 241, 120);
    QTest::newRow("square, enlarged") << QSize(10, 10) << QSize(193, 129) << QRect(32, 0, 129, 129);
    QTest::newRow("tall, reduced") << QSize(50, 200) << QSize(177, 129) << QRect(72, 0, 32, 129);
    QTest::newRow("exact fit") << QSize(249, 129) << QSize(249, 129) << QRect(0, 0, 249, 129);
}

void tst_Widgets::imageFits()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, view);
    QFETCH(QRect, expected);
    ImageView v;
    v.resize(view);
    QVERIFY(!v.hasPicture());
    QVERIFY(v.pictureRect().isEmpty());
    QImage image(picture, QImage::Format_RGB32);
    image.fill(Qt::blue);
    v.setPicture(image);
    QVERIFY(v.hasPicture());
    QCOMPARE(v.pictureRect(), expected);
    v.clearPicture();
    QVERIFY(!v.hasPicture());
    QVERIFY(v.pictureRect().isEmpty());
}

void tst_Widgets::imageShowsOverBackground()
{
    QWidget parent;
    parent.resize(300, 200);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, Qt::red);
    parent.setPalette(pal);
    parent.setAutoFillBackground(true);
    auto *v = new ImageView(&parent);
    v->setGeometry(10, 10, 200, 100);
    QImage image(QSize(20, 20), QImage::Format_RGB32);
    image.fill(Qt::blue);
    v->setPicture(image);
    const QImage shot = parent.grab().toImage();
    QCOMPARE(shot.pixelColor(110, 60), QColor(Qt::blue));   // centre: the picture
    QCOMPARE(shot.pixelColor(12, 60), QColor(Qt::red));     // left of the square: background
    QCOMPARE(shot.pixelColor(62, 12), QColor(Qt::blue));    // 100 x 100 square from x 60
    QCOMPARE(shot.pixelColor(58, 12), QColor(Qt::red));
}

// Pictures asked for before they are decoded: an answer shows only while
// its request is the latest, whatever order the answers come in, and a
// picture set directly replaces any request.
void tst_Widgets::imageLatestRequestWins()
{
    const auto plain = [](Qt::GlobalColor colour) {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    };
    const auto colour = [](const ImageView &v) { return v.picture().pixelColor(0, 0); };
    ImageView v;
    QPromise<QImage> red, green, blue;
    for (QPromise<QImage> *p : {&red, &green, &blue})
        p->start();

    v.setPictureLater(red.future());
    v.setPictureLater(green.future());
    QVERIFY(v.picturePending());
    QVERIFY(!v.hasPicture());
    green.addResult(plain(Qt::green));
    green.finish();
    red.addResult(plain(Qt::red));
    red.finish();
    QTRY_VERIFY(!v.picturePending());
    QCoreApplication::processEvents();
    QCOMPARE(colour(v), QColor(Qt::green));

    v.setPictureLater(blue.future());
    v.setPicture(plain(Qt::yellow));
    QVERIFY(!v.picturePending());
    blue.addResult(plain(Qt::blue));
    blue.finish();
    QCoreApplication::processEvents();
    QCOMPARE(colour(v), QColor(Qt::yellow));
}

void tst_Widgets::statusBarPanels()
{
    QMainWindow window;
    auto *bar = new StatusBar(&window);
    window.setStatusBar(bar);
    bar->setProperty("panelWidths", QStringLiteral("150,300,50"));
    bar->setProperty("panelTexts", QStringList{"a", "", "c"});
    QCOMPARE(bar->panelCount(), 3);
    QCOMPARE(bar->panelText(0), QStringLiteral("a"));
    QCOMPARE(bar->panelText(2), QStringLiteral("c"));
    bar->setPanelText(1, QStringLiteral("Файл БД :  x"));
    QCOMPARE(bar->panelText(1), QStringLiteral("Файл БД :  x"));
    bar->setPanelText(7, QStringLiteral("ignored"));
    QCOMPARE(bar->panelText(7), QString());
    window.resize(900, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(bar->height(), 19);
    QCOMPARE(bar->panel(0)->width(), 150);
    QCOMPARE(bar->panel(1)->width(), 300);
    QVERIFY(bar->panel(0)->geometry().right() < bar->panel(1)->geometry().left());
    const int lastWidth = bar->panel(2)->width();
    QVERIFY(lastWidth > 300);
    window.resize(1100, 300);
    QCoreApplication::processEvents();
    QCOMPARE(bar->panel(2)->width(), lastWidth + 200);
    QCOMPARE(bar->panel(1)->width(), 300);
    // Re-declaring the widths keeps the texts.
    bar->setPanelWidths({100, 100, 100});
    QCOMPARE(bar->panelText(1), QStringLiteral("Файл БД :  x"));
}

void tst_Widgets::anchors_data()
{
    QTest::addColumn<QString>("anchors");
    QTest::addColumn<QVariant>("designWidth");
    QTest::addColumn<int>("newWidth");
    QTest::addColumn<QRect>("expected");
    // The child sits at (10, 10, 380, 20) in a parent laid out 500 wide.
    QTest::newRow("right, wider") << "left,top,right" << QVariant(500) << 600 << QRect(10, 10, 480, 20);
    QTest::newRow("right, narrower") << "left,top,right" << QVariant(500) << 450 << QRect(10, 10, 330, 20);
    QTest::newRow("right, too narrow") << "left,top,right" << QVariant(500) << 50 << QRect(10, 10, 0, 20);
    QTest::newRow("left only") << "left,top" << QVariant(500) << 700 << QRect(10, 10, 380, 20);
    // Without a declared width the parent's size at set-up counts (here 400).
    QTest::newRow("current size") << "left,top,right" << QVariant() << 500 << QRect(10, 10, 480, 20);
}

void tst_Widgets::anchors()
{
    QFETCH(QString, anchors);
    QFETCH(QVariant, designWidth);
    QFETCH(int, newWidth);
    QFETCH(QRect, expected);
    QWidget root;
    root.resize(400, 100);
    if (designWidth.isValid())
        root.setProperty("designWidth", designWidth);
    auto *child = new QWidget(&root);
    child->setGeometry(10, 10, 380, 20);
    child->setProperty("anchors", anchors);
    auto *fixed = new QWidget(&root);
    fixed->setGeometry(5, 50, 40, 20);
    prepareForm(&root);
    root.show();  // hidden widgets get their resize event only when shown
    root.resize(newWidth, 120);
    QCOMPARE(child->geometry(), expected);
    QCOMPARE(fixed->geometry(), QRect(5, 50, 40, 20));
}

void tst_Widgets::hintsNeverShown()
{
    QWidget root;
    auto *hinted = new QLabel(QStringLiteral("x"), &root);
    hinted->setToolTip(QStringLiteral("Найти запись"));
    QWidget other;
    auto *control = new QLabel(QStringLiteral("y"), &other);
    control->setToolTip(QStringLiteral("shown"));
    prepareForm(&root);
    root.show();
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&root));

    auto hover = [](QWidget *w) {
        QHelpEvent e(QEvent::ToolTip, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(w, &e);
        return QToolTip::isVisible();
    };
    QCOMPARE(hinted->toolTip(), QStringLiteral("Найти запись"));  // kept as data
    QVERIFY(!hover(hinted));
    QVERIFY(hover(control));  // an unprepared widget does show its hint here
    QToolTip::hideText();
}

void tst_Widgets::glyphs()
{
    const QList<QPixmap> all{glyphs::refresh(), glyphs::search(), glyphs::filter()};
    QList<QImage> images;
    for (const QPixmap &pm : all) {
        QCOMPARE(pm.size(), QSize(32, 32));
        const QImage img = pm.toImage();
        QCOMPARE(img.pixelColor(0, 31).alpha(), 0);  // transparent background
        int opaque = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                opaque += img.pixelColor(x, y).alpha() > 128;
        QVERIFY2(opaque > 60 && opaque < 900, qPrintable(QString::number(opaque)));
        images << img;
    }
    QVERIFY(images[0] != images[1] && images[1] != images[2] && images[0] != images[2]);
    // The refresh arrow is green.
    int green = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QColor c = images[0].pixelColor(x, y);
            green += c.alpha() > 128 && c.green() > c.red() + 40 && c.green() > c.blue() + 40;
        }
    QVERIFY(green > 60);
}

void tst_Widgets::memoWrapsWithoutScrollBars()
{
    DBMemo memo;
    memo.resize(200, 60);
    memo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&memo));
    memo.setPlainText(QString(QStringLiteral("сверло по металлу ")).repeated(40));
    QCoreApplication::processEvents();
    QVERIFY(memo.isReadOnly());
    QVERIFY(!memo.horizontalScrollBar()->isVisible());
    QVERIFY(!memo.verticalScrollBar()->isVisible());
    QVERIFY(memo.document()->firstBlock().layout()->lineCount() > 5);
    QTest::keyClicks(&memo, "abc");
    QVERIFY(!memo.toPlainText().contains(u"abc"));
}

QTEST_MAIN(tst_Widgets)
#include "tst_widgets.moc"
