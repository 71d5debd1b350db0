#include "cli/ProgressLine.h"

#include <QTextStream>

#include <cmath>

namespace batch {

namespace {

// Back to the line's start and everything after the cursor cleared.
constexpr char kRewind[] = "\r\x1b[K";
constexpr qint64 kRedrawMs = 200;

} // namespace

ProgressLine::ProgressLine(QTextStream &err, bool sharesTerminal) : m_err(err), m_sharesTerminal(sharesTerminal)
{
    m_sinceStart.start();
}

void ProgressLine::setTotal(int entries)
{
    m_total = entries;
    draw();
}

void ProgressLine::update(const RunCounts &counts)
{
    m_counts = counts;
    if (!m_shown || !m_sinceDrawn.isValid() || m_sinceDrawn.elapsed() >= kRedrawMs)
        draw();
}

void ProgressLine::draw()
{
    m_err << kRewind << text(m_counts, m_total, m_sinceStart.nsecsElapsed() / 1e9);
    m_err.flush();
    m_shown = true;
    m_sinceDrawn.start();
}

void ProgressLine::hide()
{
    if (!m_shown)
        return;
    m_err << kRewind;
    m_err.flush();
    m_shown = false;
}

void ProgressLine::makeRoomForLine()
{
    if (m_sharesTerminal)
        hide();
}

QString ProgressLine::text(const RunCounts &counts, int total, double seconds)
{
    const int done = counts.entries();
    const double rate = seconds > 0 ? done / seconds : 0;
    QString line = QStringLiteral("%1 done, %2 failed, %3 files/s").arg(done).arg(counts.failed).arg(rate, 0, 'f', 1);
    if (total >= 0) {
        const int left = std::max(0, total - done);
        line += QStringLiteral(", %1 to go").arg(left);
        if (left > 0 && rate > 0)
            line += QStringLiteral(", %1 left").arg(duration(left / rate));
    }
    return line;
}

QString ProgressLine::duration(double seconds)
{
    const qint64 s = std::llround(std::max(0.0, seconds));
    if (s < 60)
        return QStringLiteral("about %1 s").arg(std::max<qint64>(1, s));
    const qint64 minutes = (s + 30) / 60;
    if (minutes < 60)
        return QStringLiteral("about %1 min").arg(minutes);
    return QStringLiteral("about %1 h %2 min").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace batch
