#include "frm_PathToBD_Unit.h"

#include "file_lookup.h"
#include "message_box.h"
#include "private_profile.h"
#include "stock_glyphs.h"

#include <QShowEvent>

Tfrm_PathToBD *frm_PathToBD = nullptr;

namespace {
const QString kFilter = QStringLiteral("БД microsoft Access (*.mdb)|*.mdb");
}

Tfrm_PathToBD::Tfrm_PathToBD(QString &pathToBD, const QString &configFile, QWidget *parent)
    : QDialog(parent),
      OpenDialog(std::make_unique<platform::OpenFileChooser>(kFilter)),
      FPathToBD(pathToBD),
      m_configFile(configFile)
{
    setupUi(this);
    // A fixed dialog frame: a close box, no minimise, maximise or help box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    Label1->adjustSize();

    spbt_Open->setIcon(platform::stockGlyph(platform::StockGlyph::OpenFolder));
    bbtn_OK->setIcon(platform::stockGlyph(platform::StockGlyph::Check));
    bbtn_Cancel->setIcon(platform::stockGlyph(platform::StockGlyph::Cancel));

    connect(spbt_Open, &QToolButton::clicked, this, &Tfrm_PathToBD::spbt_OpenClick);
    connect(bbtn_OK, &QPushButton::clicked, this, &Tfrm_PathToBD::bbtn_OKClick);
}

Tfrm_PathToBD::~Tfrm_PathToBD() = default;

void Tfrm_PathToBD::setVisible(bool visible)
{
    // Qt centres a dialog over its parent only until it has been placed once;
    // forgetting the placement centres it again on every show.
    if (visible)
        setAttribute(Qt::WA_Moved, false);
    QDialog::setVisible(visible);
}

void Tfrm_PathToBD::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tfrm_PathToBD::FormShow()
{
    ed_Path->setText(FPathToBD);
}

void Tfrm_PathToBD::spbt_OpenClick()
{
    // The main window's path changes at once; cancelling the dialog later
    // does not put the old one back.
    if (const std::optional<QString> chosen = OpenDialog->choose(this)) {
        ed_Path->setText(*chosen);
        FPathToBD = *chosen;
    }
}

void Tfrm_PathToBD::bbtn_OKClick()
{
    const QString path = FPathToBD;   // the main window's path, not the edit's text
    if (path.isEmpty()) {
        platform::messageBoxes().plain(QStringLiteral("Задайте путь к файлу БД"));
        ed_Path->setFocus();
        return;
    }
    if (!platform::fileExists(path)) {
        platform::messageBoxes().plain(QStringLiteral("Ошибка чтения файла : ") + path);
        return;
    }
    try {
        platform::writeProfileString(m_configFile, QStringLiteral("BD"), QStringLiteral("PathToBD"), path);
    } catch (const platform::ProfileError &) {
        platform::messageBoxes().plain(QStringLiteral("#203 Невозможно сохранить файл конфигурации!  "));
    }
    close();   // also after a failed save
}
