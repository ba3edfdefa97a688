// GroupBox: a group box drawn the classic way: an etched frame whose top line
// runs through the middle of the caption, the caption in the box's own font
// and WindowText colour. Children keep the absolute places the form gives.
#pragma once

#include <QGroupBox>

class GroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit GroupBox(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
