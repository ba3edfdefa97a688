#include "open_progress.h"

#include "connection.h"
#include "status_bar.h"

#include <QCoreApplication>
#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kQuietMs = 500;    // shorter opens show only the busy cursor
constexpr qint64 kRepaintMs = 50;   // how often the window is repainted

} // namespace

OpenProgress::OpenProgress(db::Connection *connection, StatusBar *statusBar, int panel)
    : m_connection(connection), m_statusBar(statusBar), m_panel(panel), m_saved(statusBar->panelText(panel))
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_started.start();
    m_connection->setProgressHandler([this](const QString &table, int percent) { report(table, percent); });
}

OpenProgress::~OpenProgress()
{
    m_connection->setProgressHandler({});
    if (m_lastPaint >= 0)
        m_statusBar->setPanelText(m_panel, m_saved);
    QGuiApplication::restoreOverrideCursor();
}

QString OpenProgress::text(const QString &table, int percent)
{
    // Short enough for the record-count panel.
    if (percent < 0)
        return u" Выборка данных…"_s;
    return (table.isEmpty() ? u" Чтение файла"_s : u" Чтение "_s + table) + u": "_s + QString::number(percent) + u" %"_s;
}

void OpenProgress::report(const QString &table, int percent)
{
    const qint64 now = m_started.elapsed();
    if (now < kQuietMs || (m_lastPaint >= 0 && now - m_lastPaint < kRepaintMs))
        return;
    m_lastPaint = now;
    m_statusBar->setPanelText(m_panel, text(table, percent));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
