// Message boxes for tests: installed for the object's lifetime, they record
// every box the program raises (kind, owner, caption, text) instead of
// showing it. `onShow` runs while a box "is up", for a test that needs to act
// or look around at that moment.
#pragma once

#include "message_box.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

struct RecordedBox {
    enum Kind { Plain, Error, ErrorReport };
    Kind kind = Plain;
    QString caption;          // Error boxes only; the others carry the application title
    QString text;
    QPointer<QWidget> owner;  // Error boxes only

    bool operator==(const RecordedBox &o) const
    {
        return kind == o.kind && caption == o.caption && text == o.text;
    }
};

class FakeMessageBoxes : public platform::MessageBoxes {
public:
    FakeMessageBoxes() { platform::setMessageBoxes(this); }
    ~FakeMessageBoxes() override { platform::setMessageBoxes(nullptr); }
    FakeMessageBoxes(const FakeMessageBoxes &) = delete;
    FakeMessageBoxes &operator=(const FakeMessageBoxes &) = delete;

    void plain(const QString &text) override { record({RecordedBox::Plain, {}, text, nullptr}); }
    void error(QWidget *owner, const QString &caption, const QString &text) override
    {
        record({RecordedBox::Error, caption, text, owner});
    }
    void errorReport(const QString &text) override { record({RecordedBox::ErrorReport, {}, text, nullptr}); }

    // The texts of the boxes shown so far, in order.
    QStringList texts() const
    {
        QStringList t;
        for (const RecordedBox &b : shown)
            t << b.text;
        return t;
    }

    QList<RecordedBox> shown;
    std::function<void(const RecordedBox &)> onShow;

private:
    void record(const RecordedBox &box)
    {
        shown.append(box);
        if (onShow)
            onShow(box);
    }
};

inline char *toString(const RecordedBox &box)
{
    static const char *const kinds[] = {"plain", "error", "report"};
    return qstrdup(QStringLiteral("%1 [%2] %3")
                       .arg(QLatin1StringView(kinds[box.kind]), box.caption, box.text)
                       .toUtf8()
                       .constData());
}
