#include "skin/VEXUsageError.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace vex {

namespace {

// Recorders hang under the application object, so the newest is the last
// child of that kind; nothing outlives the application this way.
TvexUsageErrorRecorder *activeRecorder()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    const QList<TvexUsageErrorRecorder *> recorders =
        app->findChildren<TvexUsageErrorRecorder *>(Qt::FindDirectChildrenOnly);
    return recorders.isEmpty() ? nullptr : recorders.last();
}

} // namespace

TvexUsageErrorRecorder::TvexUsageErrorRecorder() : QObject(QCoreApplication::instance()) {}

TvexUsageErrorRecorder::~TvexUsageErrorRecorder() = default;

QStringList TvexUsageErrorRecorder::take()
{
    QStringList taken;
    taken.swap(m_messages);
    return taken;
}

void ReportUsageError(const QString &text)
{
    if (TvexUsageErrorRecorder *recorder = activeRecorder()) {
        recorder->m_messages.append(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
    box.exec();
}

} // namespace vex
