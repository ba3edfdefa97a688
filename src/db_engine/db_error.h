// The one error type of the data layer. Its text is what the user sees in
// the default error report, exactly as the engine or the data set words it.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace db {

class Error : public std::exception {
public:
    explicit Error(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString &text() const noexcept { return m_text; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

} // namespace db
