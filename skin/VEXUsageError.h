#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace vex {

// A setter that refuses a value it cannot take (a second control box, a
// second client section, a frame as its own panel) reports why through here
// and leaves the object as it was. The report is a modal message box titled
// "Error", unless a TvexUsageErrorRecorder is alive: the newest one then
// keeps the text and nothing is shown.
void ReportUsageError(const QString &text);

// Takes the usage-error reports while it lives, for code that must not stop
// at a modal box (tests, batch runs). Recorders nest; the newest one hears.
class TvexUsageErrorRecorder : public QObject
{
    Q_OBJECT

public:
    // Lives under the application object; one must exist.
    TvexUsageErrorRecorder();
    ~TvexUsageErrorRecorder() override;

    QStringList messages() const { return m_messages; }
    // The reports so far, forgotten as they are returned.
    QStringList take();

private:
    friend void ReportUsageError(const QString &text);

    QStringList m_messages;
};

} // namespace vex
