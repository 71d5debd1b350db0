#include "platform/gui/SystemMetrics.h"

#include <QApplication>
#include <QLocale>

namespace platform {

QFont menuFont()
{
    return QApplication::font("QMenu");
}

bool middleEastEnabled()
{
    return QLocale().textDirection() == Qt::RightToLeft;
}

} // namespace platform
