// Message boxes that are recorded instead of shown, so a test can see which
// boxes the program raised, in order, with their captions and texts.
#pragma once

#include "message_box.h"

#include <QList>
#include <QString>

struct ShownBox {
    enum Kind { Plain, Error, ErrorReport };
    Kind kind;
    QString caption;  // Error boxes only
    QString text;

    bool operator==(const ShownBox &) const = default;
};

class RecordingBoxes : public platform::MessageBoxes {
public:
    RecordingBoxes() { platform::setMessageBoxes(this); }
    ~RecordingBoxes() override { platform::setMessageBoxes(nullptr); }

    void plain(const QString &text) override { shown.append({ShownBox::Plain, {}, text}); }
    void error(QWidget *, const QString &caption, const QString &text) override
    {
        shown.append({ShownBox::Error, caption, text});
    }
    void errorReport(const QString &text) override { shown.append({ShownBox::ErrorReport, {}, text}); }

    QList<ShownBox> shown;
};

inline char *toString(const ShownBox &box)
{
    static const char *const kinds[] = {"plain", "error", "report"};
    return qstrdup(QStringLiteral("%1 [%2] %3").arg(QLatin1StringView(kinds[box.kind]), box.caption, box.text)
                       .toUtf8().constData());
}
