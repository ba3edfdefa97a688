// Bevel: a vertical separator line in a tool strip, drawn as an etched line
// (shadow, then light) along the left edge of its rectangle.
#pragma once

#include <QFrame>

class Bevel : public QFrame {
    Q_OBJECT
public:
    explicit Bevel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
