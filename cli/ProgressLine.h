#pragma once

#include "engine/RunView.h"

#include <QElapsedTimer>
#include <QString>

QT_FORWARD_DECLARE_CLASS(QTextStream)

namespace batch {

// The line on standard error that tells how far a run has got, written
// over itself: "1200 done, 3 failed, 14.2 files/s" and, once it is known
// how many entries the run has, ", 800 to go, about 1 min left".
class ProgressLine
{
public:
    // `sharesTerminal`: the log lines go to the same terminal, so the line
    // steps aside for each of them.
    ProgressLine(QTextStream &err, bool sharesTerminal);

    void setTotal(int entries);
    // After each entry; drawn at most five times a second, or at once when
    // it had to step aside for the entry's line.
    void update(const RunCounts &counts);
    // Draws it now (a timer calls it, so that a slow file shows its time).
    void draw();
    // Takes it off the screen before something else is written there.
    void hide();
    // Takes it off the screen before a log line is written to the terminal it shares.
    void makeRoomForLine();

    // The text for these counts after `seconds`; total < 0 while unknown.
    static QString text(const RunCounts &counts, int total, double seconds);
    // "about 40 s", "about 12 min", "about 3 h 05 min".
    static QString duration(double seconds);

private:
    QTextStream &m_err;
    bool m_sharesTerminal;
    bool m_shown = false;
    RunCounts m_counts;
    int m_total = -1;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceDrawn;
};

} // namespace batch
