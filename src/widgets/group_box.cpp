#include "group_box.h"

#include <QPainter>

GroupBox::GroupBox(QWidget *parent) : QGroupBox(parent) {}

void GroupBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QFontMetrics fm(font());
    const int top = fm.height() / 2;
    const QRect frame = rect().adjusted(0, top, -2, -2);
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(frame.translated(1, 1));
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(frame);
    if (title().isEmpty())
        return;
    const QRect caption(8, 0, fm.horizontalAdvance(title()) + 4, fm.height());
    p.fillRect(caption, palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(caption.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title());
}
