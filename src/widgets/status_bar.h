// StatusBar: a status bar with fixed panels side by side, the last one
// taking the rest of the width (Qt's QStatusBar has no panels of its own).
// A form may declare the panels through dynamic properties: "panelWidths"
// ("150,300,50") and "panelTexts" (a string list).
#pragma once

#include <QStatusBar>

class QLabel;

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget *parent = nullptr);

    // Panel widths in pixels; the last panel stretches over the rest.
    void setPanelWidths(const QList<int> &widths);
    int panelCount() const;
    QString panelText(int index) const;
    void setPanelText(int index, const QString &text);
    QLabel *panel(int index) const;

protected:
    bool event(QEvent *event) override;

private:
    QList<QLabel *> m_panels;
};
