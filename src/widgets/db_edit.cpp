#include "db_edit.h"

DBEdit::DBEdit(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
}

DBMemo::DBMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    // Keyboard selection keeps a read-only memo reachable by Tab, as an edit is.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
}
