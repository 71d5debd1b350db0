#pragma once

// Helpers of the title-bar and menu tests: a stand-in for the skinned frame
// (StandInFrame.h), a host window that
// answers the left-border width query, usage-error capture and small theme
// files.

#include "StandInFrame.h"
#include "ThemeFileWriter.h"
#include "skin/VEXMgr.h"
#include "skin/VEXTitleBar.h"
#include "skin/VEXUsageError.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QPair>
#include <QWidget>

#include <functional>

namespace titlebartest {

using TvexForm = skintest::StandInFrame;

// A top-level window whose frame has a left-border picture `border` wide.
class BorderedHost : public QWidget
{
public:
    int border = 0;
    int queries = 0;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == vex::TvexLeftBorderWidthQuery::EventType) {
            ++queries;
            static_cast<vex::TvexLeftBorderWidthQuery *>(event)->width = border;
            return true;
        }
        return QWidget::event(event);
    }
};

// Runs action and answers the usage error it reported (what the message box
// would have said); empty when it reported none.
inline QString messageShownBy(const std::function<void()> &action)
{
    vex::TvexUsageErrorRecorder recorder;
    action();
    return recorder.take().join(QLatin1Char('\n'));
}

// A theme file holding the given integer (and colour) values.
inline QByteArray themeFileWith(const QList<QPair<QByteArray, qint32>> &integers)
{
    themepack::ThemeFileWriter writer;
    for (const auto &[name, value] : integers)
        writer.addInteger(QString::fromLatin1(name), value);
    return writer.build();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace titlebartest
