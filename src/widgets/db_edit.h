// DBEdit and DBMemo: the detail panels' read-only views of one field of the
// current record. bindDataControls() fills them; the user cannot type.
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);
};

// Word-wrapped, without scroll bars.
class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DBMemo(QWidget *parent = nullptr);
};
