#include "status_bar.h"

#include <QDynamicPropertyChangeEvent>
#include <QLabel>

namespace {
constexpr int kHeight = 19;
}

StatusBar::StatusBar(QWidget *parent) : QStatusBar(parent)
{
    setFixedHeight(kHeight);
}

void StatusBar::setPanelWidths(const QList<int> &widths)
{
    const QStringList texts = [this] {
        QStringList t;
        for (QLabel *l : m_panels)
            t << l->text();
        return t;
    }();
    qDeleteAll(m_panels);
    m_panels.clear();
    for (int i = 0; i < widths.size(); ++i) {
        auto *label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setContentsMargins(1, 0, 1, 0);
        if (i < texts.size())
            label->setText(texts[i]);
        const bool last = i == widths.size() - 1;
        if (last) {
            label->setMinimumWidth(widths[i]);
            addWidget(label, 1);
        } else {
            label->setFixedWidth(widths[i]);
            addWidget(label);
        }
        m_panels << label;
    }
}

int StatusBar::panelCount() const
{
    return int(m_panels.size());
}

QLabel *StatusBar::panel(int index) const
{
    return index >= 0 && index < m_panels.size() ? m_panels[index] : nullptr;
}

QString StatusBar::panelText(int index) const
{
    QLabel *p = panel(index);
    return p ? p->text() : QString();
}

void StatusBar::setPanelText(int index, const QString &text)
{
    if (QLabel *p = panel(index))
        p->setText(text);
}

bool StatusBar::event(QEvent *event)
{
    if (event->type() == QEvent::DynamicPropertyChange) {
        const QByteArray name = static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName();
        if (name == "panelWidths") {
            QList<int> widths;
            for (const QString &part : property(name).toString().split(u',', Qt::SkipEmptyParts))
                widths << part.trimmed().toInt();
            setPanelWidths(widths);
        } else if (name == "panelTexts") {
            const QStringList texts = property(name).toStringList();
            for (int i = 0; i < texts.size(); ++i)
                setPanelText(i, texts[i]);
        }
    }
    return QStatusBar::event(event);
}
