#pragma once

// Helpers of the title-bar and menu tests: a stand-in for the skinned frame
// (StandInFrame.h), a host window that
// answers the left-border width query, usage-error capture and small theme
// files.

#include "skin/VEXMgr.h"
#include "skin/VEXTitleBar.h"
#include "skin/VEXUsageError.h"
#include "StandInFrame.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QPair>
#include <QWidget>
#include <QtEndian>

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
    constexpr int header = 24, record = 77;
    const int records = int(integers.size()) + 1;
    const int dataStart = header + records * record;
    QByteArray bytes(dataStart + 4 * int(integers.size()), '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, bytes.data() + at); };
    memcpy(bytes.data(), "Velkano_TB", 10);
    put32(12, header);
    put32(20, header);
    for (int i = 0; i < records; ++i) {
        const int at = header + i * record;
        if (i < integers.size()) {
            memcpy(bytes.data() + at, integers[i].first.constData(), integers[i].first.size());
            bytes[at + 64] = 1;
            put32(at + 65, quint32(dataStart + 4 * i));
            put32(at + 69, 4);
            put32(at + 73, quint32(at + record));
            put32(dataStart + 4 * i, quint32(integers[i].second));
        }
    }
    return bytes;
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace titlebartest
