// The main window as the form lays it out: names, captions, states, how the
// panels share the pages, fonts and colours, anchoring, focus order, the
// tool strips' behaviour and what a screen reader calls each control.
#include "DM_Unit.h"
#include "data_source.h"
#include "dataset.h"
#include "fake_message_boxes.h"
#include "frm_Main_Unit.h"
#include "frm_PathToBD_Unit.h"
#include "startup.h"
#include "stock_file.h"

#include "db_grid.h"
#include "form_font.h"
#include "form_setup.h"
#include "image_view.h"
#include "speed_button.h"
#include "status_bar.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QFile>
#include <QGroupBox>
#include <QHelpEvent>
#include <QTemporaryDir>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>
#include <cmath>
#include <memory>

namespace {

constexpr int kPages = 5;
const char *const kPageNames[kPages] = {"tbst_P1_Sverla", "tbst_P_Frezyi", "tbst_P_Derj_Plast", "tbst_P_Plastinyi",
                                        "tbst_P3_People"};

// The program's main window, created as at start-up (hidden, bound to the
// data module) with a configuration file that names no database.
struct Form {
    FakeMessageBoxes boxes;
    QTemporaryDir dir;
    QMainWindow *window;
    explicit Form(const QString &database = {})
    {
        const QString config = dir.filePath(QStringLiteral("morvel.INI"));
        if (!database.isEmpty()) {
            QFile ini(config);
            if (ini.open(QIODevice::WriteOnly))
                ini.write("[BD]\r\nPathToBD=" + database.toLocal8Bit() + "\r\n");
        }
        createSingletons(config);
        window = frm_Main;
    }
    ~Form() { destroySingletons(); }
    template <class T = QWidget> T *get(const char *name) { return window->findChild<T *>(QLatin1String(name)); }
};

QColor rgb(const char *hex) { return QColor(QLatin1String(hex)); }

// The text that stands for an edit on the form, as a sighted user reads it:
// the nearest label above it and to its left, or for a control alone in its
// group the group's caption.
QString labelFor(const QWidget *edit)
{
    const QLabel *nearest = nullptr;
    double nearestDistance = 0;
    for (const QLabel *label : edit->parentWidget()->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        const QPoint d = edit->pos() - label->pos();
        if (d.x() < 0 || d.y() <= 0 || !label->isVisibleTo(edit->parentWidget()))
            continue;
        const double distance = std::hypot(d.x(), d.y());
        if (!nearest || distance < nearestDistance) {
            nearest = label;
            nearestDistance = distance;
        }
    }
    if (nearest)
        return nearest->text();
    const auto *group = qobject_cast<const QGroupBox *>(edit->parentWidget());
    return group ? group->title() : QString();
}

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

} // namespace

class tst_MainForm : public QObject {
    Q_OBJECT
    std::unique_ptr<Form> f;

private slots:
    void init()
    {
        f = std::make_unique<Form>();
        f->window->resize(1197, 661);
    }
    void cleanup() { f.reset(); }

    void components_data();
    void components();
    void menu_data();
    void menu();
    void menuOrder();
    void stopPicturesFlipsBeforeHandler();
    void pages();
    void componentsInsideTheirHolders();
    void panelHeightsAfterLayout();
    void fontsAndColours_data();
    void fontsAndColours();
    void anchoringOnResize();
    void boundEditsRefuseTyping();
    void focusOrder_data();
    void focusOrder();
    void noticesHidden();
    void toolButtons();
    void hintsNeverShown();
    void accessibleNames_data();
    void accessibleNames();
    void stickyFilterToggle();
    void statusBar();
    void boundToSampleStock();
};

void tst_MainForm::components_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    auto add = [](const QString &cls, const QStringList &names) {
        for (const QString &n : names)
            QTest::newRow(qPrintable(n)) << n << cls;
    };
    add("QTabWidget", {"PageControl_Main"});
    add("QMenuBar", {"MainMenu1"});
    add("StatusBar", {"StatusBar1"});
    add("QFrame", {"Panel1", "Panel2", "Panel3", "Panel4", "Panel5", "Panel6", "Panel7", "Panel8", "Panel9", "Panel10",
                   "Panel11", "Panel12", "Panel13", "Panel14"});
    add("QWidget", {"tbst_P1_Sverla", "tbst_P_Frezyi", "tbst_P_Derj_Plast", "tbst_P_Plastinyi", "tbst_P3_People"});
    add("DBGrid", {"dbgr_Sverlo", "dbgr_Frezy", "dbgr_Derj_PL", "dbgr_Plastinyi", "dbgrid_Dolgi"});
    add("SpeedButton", {"spbt_RefreshBD", "spbt_SVerlo_Search", "spbt_Sverlo_Filtr", "SpeedButton1", "spbt_FR_Search",
                        "spbt_FR_Filtr", "SpeedButton2", "spbt_Derj_Search", "spbt_Derj_Filtr", "SpeedButton3",
                        "spbt_PL_Search", "spbt_PL_Filtr", "SpeedButton4", "spbt_SearchRec", "spbt_Dolgi_Filtr"});
    add("QLabel", {"sttx_Filter_Sverla", "StaticText1", "sttx_Filter_Derj", "StaticText3", "sttx_Filter_Dolgi"});
    add("Bevel", {"Bevel6", "Bevel7", "Bevel9"});
    add("QGroupBox", {"GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4", "GroupBox5", "GroupBox6", "GroupBox7",
                      "GroupBox8", "GroupBox9", "GroupBox10", "GroupBox11", "GroupBox12", "GroupBox13", "GroupBox14",
                      "GroupBox15"});
    add("ImageView", {"im_PicSv", "im_PicFreza", "im_Pic_Derj", "im_Plastina", "im_PicDolg_Instr", "im_PicDolg_Operator"});
    add("DBMemo", {"dbmemo_Sverlo", "dbmemo_Frezy", "dbmemo_Derj_PL", "DBMemo1"});
    add("DBEdit", {"DBEdit1", "DBEdit2", "DBEdit3", "DBEdit4", "DBEdit5", "DBEdit6", "DBEdit7", "DBEdit8", "DBEdit9",
                   "DBEdit10", "DBEdit14", "DBEdit16", "DBEdit17", "DBEdit18", "DBEdit19", "DBEdit20", "DBEdit21",
                   "DBEdit22", "dbed_SV_K_vo_NEW", "dbed_SV_K_vo_BU", "dbed_FR_K_vo_NEW", "dbed_FR_K_vo_BU",
                   "dbed_DRJ_K_vo_NEW", "dbed_DRJ_K_vo_BU", "dbed_PL_K_vo_NEW", "dbed_PL_K_vo_BU"});
    add("QLineEdit", {"ed_Dolg_Tp_Instr"});
    QStringList labels;
    for (int i = 1; i <= 27; ++i)
        labels << QStringLiteral("Label%1").arg(i);
    add("QLabel", labels);
}

void tst_MainForm::components()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QObject *o = f->window->findChild<QObject *>(name);
    QVERIFY2(o, qPrintable(name));
    QVERIFY2(o->inherits(className.toLatin1()), o->metaObject()->className());
    QCOMPARE(f->window->objectName(), QStringLiteral("frm_Main"));
    QVERIFY(f->window->inherits("Tfrm_Main"));
}

void tst_MainForm::menu_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checkable");
    QTest::newRow("mm_StopPic") << "mm_StopPic" << "N1" << "Запретить просмотр картинок" << true << true;
    QTest::newRow("mm_PathToBD") << "mm_PathToBD" << "N1" << "Путь к БД" << true << false;
    QTest::newRow("mm_Exit") << "mm_Exit" << "N1" << "Выход" << true << false;
    QTest::newRow("mm_History_Dolg") << "mm_History_Dolg" << "N2" << "История долгов" << false << false;
    QTest::newRow("mm_History_Prihod") << "mm_History_Prihod" << "N2" << "История прихода инстр" << false << false;
    QTest::newRow("mm_Spisanie_Hist") << "mm_Spisanie_Hist" << "N2" << "История списания инстр" << false << false;
    QTest::newRow("mm_Export_ALL") << "mm_Export_ALL" << "mm_Change_Pasw" << "Все в EXCELL" << false << false;
    QTest::newRow("mm_Export_Activ_Page") << "mm_Export_Activ_Page" << "mm_Change_Pasw" << "Текущая страница в EXCELL"
                                          << false << false;
    QTest::newRow("mm_About") << "mm_About" << "N4" << "О программе" << false << false;
}

void tst_MainForm::menu()
{
    QFETCH(QString, name);
    QFETCH(QString, menu);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    QFETCH(bool, checkable);
    auto *action = f->window->findChild<QAction *>(name);
    QVERIFY(action);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->isEnabled(), enabled);
    QCOMPARE(action->isCheckable(), checkable);
    QVERIFY(!action->isChecked());
    QVERIFY(action->shortcut().isEmpty());
    QVERIFY(!caption.contains(u'&'));  // no accelerator letters
    auto *owner = f->window->findChild<QMenu *>(menu);
    QVERIFY(owner && owner->actions().contains(action));
    if (!enabled) {
        // A disabled item can never be chosen.
        QSignalSpy triggered(action, &QAction::triggered);
        owner->popup(QPoint(0, 0));
        owner->setActiveAction(action);
        QTest::keyClick(owner, Qt::Key_Return);
        action->activate(QAction::Trigger);
        QCOMPARE(triggered.count(), 0);
        owner->hide();
    }
}

void tst_MainForm::menuOrder()
{
    auto names = [this](QWidget *w) {
        QStringList out;
        for (QAction *a : w->actions())
            out << (a->menu() ? a->menu()->objectName() : a->objectName());
        return out;
    };
    QMenuBar *bar = f->get<QMenuBar>("MainMenu1");
    QCOMPARE(f->window->menuBar(), bar);
    QCOMPARE(names(bar), (QStringList{"N1", "N2", "N3", "N4"}));
    QStringList titles;
    for (QAction *a : bar->actions())
        titles << a->text();
    QCOMPARE(titles, (QStringList{"Файл", "Таблицы", "Инструменты", "Справка"}));
    QCOMPARE(names(f->get<QMenu>("N1")), (QStringList{"mm_StopPic", "N6", "mm_PathToBD", "N29", "mm_Exit"}));
    QVERIFY(f->window->findChild<QAction *>("N6")->isSeparator());
    QVERIFY(f->window->findChild<QAction *>("N29")->isSeparator());
    QCOMPARE(names(f->get<QMenu>("N2")), (QStringList{"mm_History_Dolg", "mm_History_Prihod", "mm_Spisanie_Hist"}));
    QCOMPARE(names(f->get<QMenu>("N3")), (QStringList{"mm_Change_Pasw"}));
    QMenu *exportMenu = f->get<QMenu>("mm_Change_Pasw");
    QCOMPARE(exportMenu->title(), QStringLiteral("Экспорт данных"));
    QVERIFY(exportMenu->menuAction()->isEnabled());
    QCOMPARE(names(exportMenu), (QStringList{"mm_Export_ALL", "mm_Export_Activ_Page"}));
    QCOMPARE(names(f->get<QMenu>("N4")), (QStringList{"mm_About"}));
}

void tst_MainForm::stopPicturesFlipsBeforeHandler()
{
    auto *item = f->window->findChild<QAction *>("mm_StopPic");
    QList<bool> seen;
    QObject::connect(item, &QAction::triggered, item, [&] { seen << item->isChecked(); });
    item->trigger();
    item->trigger();
    item->trigger();
    QCOMPARE(seen, (QList<bool>{true, false, true}));
}

void tst_MainForm::pages()
{
    auto *pc = f->get<QTabWidget>("PageControl_Main");
    QCOMPARE(pc->tabPosition(), QTabWidget::South);
    QCOMPARE(pc->count(), kPages);
    QCOMPARE(pc->currentIndex(), 4);  // the debts page until the window is first shown
    const QStringList captions{"Сверла", "Фрезы", "Державки пластин", "Пластины", "Долги"};
    for (int i = 0; i < kPages; ++i) {
        QCOMPARE(pc->widget(i)->objectName(), QString::fromLatin1(kPageNames[i]));
        QCOMPARE(pc->tabText(i), captions[i]);
        QVERIFY(pc->tabIcon(i).isNull());
    }
    QCOMPARE(f->window->centralWidget()->findChild<QTabWidget *>(), pc);
    QCOMPARE(f->window->windowTitle(), QStringLiteral("Morvel"));
}

// Every named component of each page lies within the one that holds it, at
// the window's designed size: a control placed off its panel would never be
// seen.
void tst_MainForm::componentsInsideTheirHolders()
{
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window));
    auto *pc = f->get<QTabWidget>("PageControl_Main");
    for (int i = 0; i < kPages; ++i) {
        pc->setCurrentIndex(i);
        QWidget *page = f->get(kPageNames[i]);
        QCOMPARE(pc->currentWidget(), page);
        const QList<QWidget *> named = page->findChildren<QWidget *>(QRegularExpression(QStringLiteral("^[A-Za-z]")));
        QVERIFY(!named.isEmpty());
        for (QWidget *w : named) {
            if (w->objectName().startsWith(QLatin1String("qt_")) || !w->parentWidget())
                continue;
            QVERIFY2(w->parentWidget()->rect().intersects(w->geometry()), qPrintable(w->objectName()));
        }
    }
}

void tst_MainForm::panelHeightsAfterLayout()
{
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window));
    const struct { const char *page, *detail, *strip, *rest; } pages[] = {
        {"tbst_P1_Sverla", "Panel1", "Panel3", "Panel2"}, {"tbst_P_Frezyi", "Panel9", "Panel10", "Panel13"},
        {"tbst_P_Derj_Plast", "Panel11", "Panel12", "Panel14"}, {"tbst_P_Plastinyi", "Panel4", "Panel5", "Panel6"},
        {"tbst_P3_People", "Panel7", "Panel8", "dbgrid_Dolgi"}};
    auto *pc = f->get<QTabWidget>("PageControl_Main");
    for (int i = 0; i < kPages; ++i) {
        pc->setCurrentIndex(i);
        QWidget *page = f->get(pages[i].page);
        QWidget *detail = f->get(pages[i].detail);
        QWidget *strip = f->get(pages[i].strip);
        QWidget *rest = f->get(pages[i].rest);
        QCOMPARE(detail->geometry(), QRect(0, 0, page->width(), 225));
        QCOMPARE(strip->height(), 56);
        QCOMPARE(strip->width(), detail->width() - 2);  // docked full width inside the bevel
        QCOMPARE(rest->geometry(), QRect(0, 225, page->width(), page->height() - 225));
        // Only the debts page's tool strip has a bevel.
        QCOMPARE(static_cast<QFrame *>(strip)->frameShape(), i == 4 ? QFrame::Panel : QFrame::NoFrame);
        QCOMPARE(static_cast<QFrame *>(detail)->frameShadow(), QFrame::Raised);
    }
    // The page control fills the area between menu and status bar.
    QWidget *status = f->get("StatusBar1");
    QCOMPARE(status->height(), 19);
    QCOMPARE(status->geometry().bottom(), f->window->height() - 1);
    QCOMPARE(pc->width(), f->window->width());
}

void tst_MainForm::fontsAndColours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<int>("points");
    const QColor navy = rgb("#000080"), maroon = rgb("#800000"), green = rgb("#008000"), purple = rgb("#800080");
    auto row = [](const char *n, const QColor &c, int pt = 8) { QTest::newRow(n) << QString::fromLatin1(n) << c << pt; };
    for (const char *g : {"GroupBox11", "GroupBox12", "GroupBox13", "GroupBox14", "GroupBox15", "GroupBox5"})
        row(g, navy);
    for (const char *g : {"GroupBox1", "GroupBox7", "GroupBox9", "GroupBox3", "GroupBox6"})
        row(g, maroon);
    for (const char *g : {"GroupBox2", "GroupBox8", "GroupBox10", "GroupBox4", "dbmemo_Sverlo", "dbmemo_Frezy",
                          "dbmemo_Derj_PL", "DBMemo1"})
        row(g, green);
    for (const char *n : {"Label1", "DBEdit1", "Label5", "DBEdit5", "Label6", "DBEdit6", "Label10", "DBEdit10",
                          "Label17", "DBEdit17", "Label22", "DBEdit21", "Label21", "DBEdit22"})
        row(n, navy);
    for (const char *n : {"Label2", "dbed_SV_K_vo_NEW", "Label3", "dbed_SV_K_vo_BU", "Label7", "dbed_FR_K_vo_NEW",
                          "Label8", "dbed_FR_K_vo_BU", "Label12", "dbed_DRJ_K_vo_NEW", "Label13", "dbed_DRJ_K_vo_BU",
                          "Label11", "dbed_PL_K_vo_NEW", "Label15", "dbed_PL_K_vo_BU", "Label19", "DBEdit19",
                          "Label18", "DBEdit18", "Label23", "ed_Dolg_Tp_Instr"})
        row(n, maroon);
    for (const char *n : {"Label4", "DBEdit4", "Label9", "DBEdit9", "Label14", "DBEdit14", "Label16", "DBEdit16",
                          "Label20", "DBEdit20"})
        row(n, green);
    for (const char *n : {"Label25", "DBEdit3", "Label24", "DBEdit2", "Label26", "DBEdit7", "Label27", "DBEdit8"})
        row(n, purple);
    for (const char *n : {"sttx_Filter_Sverla", "StaticText1", "sttx_Filter_Derj", "StaticText3", "sttx_Filter_Dolgi"})
        row(n, rgb("#ff0000"), 12);
}

void tst_MainForm::fontsAndColours()
{
    QFETCH(QString, name);
    QFETCH(QColor, colour);
    QFETCH(int, points);
    QWidget *w = f->window->findChild<QWidget *>(name);
    QVERIFY(w);
    QVERIFY(w->font().bold());
    QCOMPARE(w->font().pointSize(), points);
    // Text of edits and memos is drawn in Text, captions in WindowText.
    const bool textBox = w->inherits("QLineEdit") || w->inherits("QPlainTextEdit");
    QCOMPARE(w->palette().color(textBox ? QPalette::Text : QPalette::WindowText), colour);
    if (w->inherits("QLabel") && !name.startsWith(u"Label"))
        QCOMPARE(w->font().family(), formFontFamily());
    QCOMPARE(f->window->font().family(), formFontFamily());
    QCOMPARE(f->window->font().pointSize(), 8);
    QVERIFY(!f->window->font().bold());
}

void tst_MainForm::anchoringOnResize()
{
    f->window->resize(1197, 661);
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window));
    auto *pc = f->get<QTabWidget>("PageControl_Main");
    auto snapshot = [this] {
        QHash<QString, QRect> g;
        for (QWidget *w : f->window->findChildren<QWidget *>())
            if (!w->objectName().isEmpty())
                g.insert(w->objectName(), w->geometry());
        return g;
    };
    for (int i = 0; i < kPages; ++i)
        pc->setCurrentIndex(i);  // every page laid out once
    const QHash<QString, QRect> before = snapshot();
    const int grow = 150;
    f->window->resize(f->window->width() + grow, f->window->height() + 60);
    for (int i = 0; i < kPages; ++i)
        pc->setCurrentIndex(i);
    QCoreApplication::processEvents();
    const QHash<QString, QRect> after = snapshot();

    const QStringList stretching{"GroupBox2", "dbmemo_Sverlo", "GroupBox8", "dbmemo_Frezy", "GroupBox10",
                                 "dbmemo_Derj_PL", "GroupBox4", "DBMemo1"};
    for (const QString &name : stretching) {
        QCOMPARE(after[name].topLeft(), before[name].topLeft());
        QCOMPARE(after[name].width(), before[name].width() + grow);
    }
    // Everything else inside a detail panel keeps its place and size.
    for (const char *detail : {"Panel1", "Panel9", "Panel11", "Panel4", "Panel7"}) {
        for (QWidget *w : f->get(detail)->findChildren<QWidget *>()) {
            const QString n = w->objectName();
            if (n.isEmpty() || stretching.contains(n) || w->parentWidget()->objectName().startsWith(u"qt_"))
                continue;
            if (n.startsWith(u"Panel")) {  // the tool strips are docked full width
                QCOMPARE(after[n].width(), before[n].width() + grow);
                continue;
            }
            if (!w->parentWidget()->objectName().isEmpty() && w->parentWidget() != f->get(detail)
                && !w->parentWidget()->objectName().startsWith(u"GroupBox") && !w->parentWidget()->objectName().startsWith(u"Panel"))
                continue;  // inner parts of composite widgets
            QVERIFY2(after[n] == before[n], qPrintable(n));
        }
        QCOMPARE(after[detail].height(), 225);
    }
    QCOMPARE(after["PageControl_Main"].width(), before["PageControl_Main"].width() + grow);
    QCOMPARE(after["PageControl_Main"].height(), before["PageControl_Main"].height() + 60);
    QCOMPARE(after["StatusBar1"].width(), before["StatusBar1"].width() + grow);
    QCOMPARE(after["StatusBar1"].height(), 19);
    QCOMPARE(after["dbgr_Sverlo"].height(), before["dbgr_Sverlo"].height() + 60);
    // The notes groups keep their right margins.
    const int margin = 1181 - (664 + 496);
    QCOMPARE(f->get("Panel1")->width() - f->get("GroupBox2")->geometry().right() - 1, margin);
}

void tst_MainForm::boundEditsRefuseTyping()
{
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window));
    auto *pc = f->get<QTabWidget>("PageControl_Main");
    int bound = 0;
    for (int i = 0; i < kPages; ++i) {
        pc->setCurrentIndex(i);
        for (QWidget *w : pc->widget(i)->findChildren<QWidget *>()) {
            if (w->property("dataField").toString().isEmpty())
                continue;
            ++bound;
            QCOMPARE(w->property("dataSource").toString(),
                     QString::fromLatin1(i == 4 ? "ds_Dolg" : std::array{"ds_Sverla", "ds_Frezy", "ds_Derj", "ds_Plast"}[i]));
            w->setFocus();
            QTest::keyClicks(w, "12x");
            QCOMPARE(w->property(w->inherits("QLineEdit") ? "text" : "plainText").toString(), QString());
        }
    }
    QCOMPARE(bound, 4 * 1 + 2 * 6 + 2 * 4 + 6);  // memos, diameter, holder and debts edits
    auto *plain = f->get<QLineEdit>("ed_Dolg_Tp_Instr");
    QVERIFY(plain->property("dataSource").toString().isEmpty());
    pc->setCurrentIndex(4);
    plain->setFocus();
    QTest::keyClicks(plain, "7b");
    QCOMPARE(plain->text(), QStringLiteral("7b"));
}

void tst_MainForm::focusOrder_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("drills") << 0 << QStringList{"dbmemo_Sverlo", "DBEdit1", "dbed_SV_K_vo_NEW", "dbed_SV_K_vo_BU",
                                                "DBEdit4", "DBEdit5", "DBEdit3", "dbgr_Sverlo"};
    QTest::newRow("milling") << 1 << QStringList{"dbmemo_Frezy", "DBEdit6", "dbed_FR_K_vo_NEW", "dbed_FR_K_vo_BU",
                                                 "DBEdit9", "DBEdit10", "DBEdit2", "dbgr_Frezy"};
    QTest::newRow("holders") << 2 << QStringList{"dbmemo_Derj_PL", "dbed_DRJ_K_vo_NEW", "dbed_DRJ_K_vo_BU",
                                                 "DBEdit14", "DBEdit7", "dbgr_Derj_PL"};
    QTest::newRow("inserts") << 3 << QStringList{"dbgr_Plastinyi", "DBMemo1", "dbed_PL_K_vo_NEW", "dbed_PL_K_vo_BU",
                                                 "DBEdit16", "DBEdit8"};
    QTest::newRow("debts") << 4 << QStringList{"DBEdit17", "DBEdit18", "DBEdit19", "DBEdit20", "DBEdit21", "DBEdit22",
                                               "ed_Dolg_Tp_Instr", "dbgrid_Dolgi"};
}

void tst_MainForm::focusOrder()
{
    QFETCH(int, page);
    QFETCH(QStringList, order);
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window));
    auto *pc = f->get<QTabWidget>("PageControl_Main");
    pc->setCurrentIndex(page);
    QWidget *pageWidget = pc->widget(page);
    // Walk the focus chain once round and keep the page's Tab stops.
    QStringList seen;
    QWidget *start = f->get(qPrintable(order.first()));
    QWidget *w = start;
    do {
        if (pageWidget->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(pageWidget)
            && !w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_"))
            seen << w->objectName();
        w = w->nextInFocusChain();
    } while (w != start && seen.size() < 64);
    QCOMPARE(seen, order);
}

void tst_MainForm::noticesHidden()
{
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window));
    auto *pc = f->get<QTabWidget>("PageControl_Main");
    for (const char *n : {"sttx_Filter_Sverla", "StaticText1", "sttx_Filter_Derj", "StaticText3", "sttx_Filter_Dolgi"}) {
        auto *notice = f->get<QLabel>(n);
        for (int i = 0; i < kPages; ++i) {
            pc->setCurrentIndex(i);
            QVERIFY(!notice->isVisible());
        }
        QCOMPARE(notice->text(), QStringLiteral("Фильтр записей активирован"));
        QCOMPARE(notice->frameShadow(), QFrame::Sunken);
    }
}

void tst_MainForm::toolButtons()
{
    const QHash<QString, SpeedButton::Glyph> glyphOf{{"Обновить/прочитать базу данных", SpeedButton::Refresh},
                                                     {"Найти запись", SpeedButton::Search},
                                                     {"Фильтр", SpeedButton::Filter}};
    const auto buttons = f->window->findChildren<SpeedButton *>();
    QCOMPARE(buttons.size(), 15);
    QHash<SpeedButton::Glyph, int> perGlyph;
    for (SpeedButton *b : buttons) {
        QVERIFY2(glyphOf.contains(b->toolTip()), qPrintable(b->objectName()));
        QCOMPARE(b->glyph(), glyphOf[b->toolTip()]);
        ++perGlyph[b->glyph()];
        QCOMPARE(b->size(), QSize(41, 41));
        QVERIFY(b->autoRaise());
        QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(b->text().isEmpty());
        QCOMPARE(b->iconSize(), QSize(32, 32));
        QVERIFY(b->icon().availableSizes().contains(QSize(32, 32)));
    }
    QCOMPARE(perGlyph.value(SpeedButton::Refresh), 5);
    QCOMPARE(perGlyph.value(SpeedButton::Search), 5);
    QCOMPARE(perGlyph.value(SpeedButton::Filter), 5);
}

void tst_MainForm::hintsNeverShown()
{
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window));
    auto *pc = f->get<QTabWidget>("PageControl_Main");
    for (int i = 0; i < kPages; ++i) {
        pc->setCurrentIndex(i);
        for (SpeedButton *b : pc->widget(i)->findChildren<SpeedButton *>()) {
            QTest::mouseMove(b, QPoint(20, 20));
            QHelpEvent hover(QEvent::ToolTip, QPoint(20, 20), b->mapToGlobal(QPoint(20, 20)));
            QCoreApplication::sendEvent(b, &hover);
            QVERIFY2(!QToolTip::isVisible(), qPrintable(b->objectName()));
        }
    }
}

void tst_MainForm::accessibleNames_data()
{
    QTest::addColumn<int>("page");  // -1: the database-location dialog
    for (int i = 0; i < kPages; ++i)
        QTest::newRow(kPageNames[i]) << i;
    QTest::newRow("frm_PathToBD") << -1;
}

// What a screen reader announces, through Qt's own accessibility interface:
// each edit by the text that stands for it on the form, each grid by its
// page's caption, every button by a name (a glyph button also has a tool
// tip), and no two controls of a page alike.
void tst_MainForm::accessibleNames()
{
    QFETCH(int, page);
    auto *pc = f->get<QTabWidget>("PageControl_Main");
    QWidget *root = page < 0 ? static_cast<QWidget *>(frm_PathToBD) : pc->widget(page);
    QHash<QString, QString> named;  // accessible name -> control
    int edits = 0;
    for (QWidget *w : root->findChildren<QWidget *>()) {
        const bool edit = qobject_cast<QLineEdit *>(w) || qobject_cast<QPlainTextEdit *>(w);
        auto *button = qobject_cast<QAbstractButton *>(w);
        if (!(edit || button || qobject_cast<DBGrid *>(w)) || w->objectName().isEmpty())
            continue;
        const QString name = accessibleName(w);
        QVERIFY2(!name.isEmpty(), qPrintable(w->objectName()));
        if (edit) {
            QCOMPARE(name, labelFor(w));
            ++edits;
        }
        if (button && button->text().isEmpty())
            QVERIFY2(!button->toolTip().isEmpty(), qPrintable(w->objectName()));
        if (qobject_cast<DBGrid *>(w))
            QCOMPARE(name, pc->tabText(page));
        QVERIFY2(!named.contains(name), qPrintable(named.value(name) + QStringLiteral(" and ") + w->objectName() + QStringLiteral(": ") + name));
        named.insert(name, w->objectName());
    }
    QVERIFY(edits > 0);
}

void tst_MainForm::stickyFilterToggle()
{
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window));
    auto *pc = f->get<QTabWidget>("PageControl_Main");
    const QStringList buttons{"spbt_SVerlo_Search", "spbt_Sverlo_Filtr", "spbt_FR_Search", "spbt_FR_Filtr",
                              "spbt_Derj_Search", "spbt_Derj_Filtr", "spbt_PL_Search", "spbt_PL_Filtr",
                              "spbt_SearchRec", "spbt_Dolgi_Filtr"};
    for (const QString &name : buttons) {
        auto *b = f->window->findChild<SpeedButton *>(name);
        pc->setCurrentIndex(pc->indexOf(b->parentWidget()->parentWidget()->parentWidget()));
        const bool sticky = name == u"spbt_FR_Filtr";
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(b->isChecked(), sticky);
        QCOMPARE(b->isDown(), false);
        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(!b->isChecked());
    }
}

void tst_MainForm::statusBar()
{
    auto *bar = f->get<StatusBar>("StatusBar1");
    QCOMPARE(f->window->statusBar(), bar);
    QCOMPARE(bar->panelCount(), 3);
    QCOMPARE(bar->panelText(0), QStringLiteral("Всего сверел: 20***"));
    QCOMPARE(bar->panelText(1), QString());
    QCOMPARE(bar->panelText(2), QStringLiteral("  Morvel для программы \"Skarpa\"    Версия Morvel 0.0.2   (Сборка 0010)  "));
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window));
    QCOMPARE(bar->panel(0)->width(), 150);
    QCOMPARE(bar->panel(1)->width(), 300);
    QVERIFY(bar->panel(2)->width() > 50);
    QCOMPARE(bar->panel(2)->geometry().right() > bar->width() - 40, true);
}

void tst_MainForm::boundToSampleStock()
{
    f.reset();
    QTemporaryDir data;
    const QString file = data.filePath(QStringLiteral("stock.mdb"));
    StockFile().addSample().write(file);
    f = std::make_unique<Form>(file);
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window));
    QVERIFY(DM->dtset_Sverla->active());

    auto expected = [](QWidget *w) {
        const db::DataSet *ds = DM->dataSourceByName(w->property("dataSource").toString())->dataSet();
        const db::Field *field = ds->findField(w->property("dataField").toString());
        return field ? ds->displayText(ds->currentRow(), field->index()) : QStringLiteral("<no field>");
    };
    auto shown = [](QWidget *w) { return w->property(w->inherits("QLineEdit") ? "text" : "plainText").toString(); };
    const QStringList grids{"dbgr_Sverlo", "dbgr_Frezy", "dbgr_Derj_PL", "dbgr_Plastinyi", "dbgrid_Dolgi"};
    int filled = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (QWidget *w : f->window->findChildren<QWidget *>()) {
            if (w->property("dataField").toString().isEmpty())
                continue;
            QCOMPARE(shown(w), expected(w));
            filled += !shown(w).isEmpty();
        }
        // Move every grid to its second record; the edits follow.
        for (const QString &name : grids) {
            auto *grid = f->window->findChild<DBGrid *>(name);
            QVERIFY(grid->dataSource());
            QCOMPARE(grid->columnsInDisplayOrder().size(),
                     int(std::count_if(grid->dataSource()->dataSet()->fields().begin(),
                                       grid->dataSource()->dataSet()->fields().end(),
                                       [](const db::Field *fld) { return fld->visible(); })));
            if (grid->model()->rowCount() > 1)
                grid->setCurrentIndex(grid->model()->index(1, grid->columnsInDisplayOrder().first()));
            QCOMPARE(grid->dataSource()->dataSet()->currentRow(), grid->model()->rowCount() > 1 ? 1 : 0);
        }
    }
    QVERIFY2(filled > 10, qPrintable(QString::number(filled)));
}

QTEST_MAIN(tst_MainForm)
#include "tst_main_form.moc"
