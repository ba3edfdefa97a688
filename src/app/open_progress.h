// OpenProgress: what the window shows while the database is being opened.
//
// The busy cursor at once; past half a second, which table is being read and
// how far in a status-bar panel, with the window repainted in between. User
// input waits until the open is over, so nothing acts on half-opened data.
// The panel gets its text back if the open fails; on success the caller
// writes its own.
#pragma once

#include <QElapsedTimer>
#include <QString>

class StatusBar;
namespace db { class Connection; }

class OpenProgress {
public:
    OpenProgress(db::Connection *connection, StatusBar *statusBar, int panel);
    ~OpenProgress();
    OpenProgress(const OpenProgress &) = delete;
    OpenProgress &operator=(const OpenProgress &) = delete;

    // The panel's text for a step (see db::Connection::Progress).
    static QString text(const QString &table, int percent);

private:
    void report(const QString &table, int percent);

    db::Connection *m_connection;
    StatusBar *m_statusBar;
    int m_panel;
    QString m_saved;
    QElapsedTimer m_started;
    qint64 m_lastPaint = -1;
};
