#pragma once

// Helpers of the title-bar and menu tests: a stand-in for the skinned frame
// (recognised by class name, as the real one will be), a host window that
// answers the left-border width query, message-box capture and small theme
// files.

#include "ThemeFileWriter.h"
#include "skin/VEXMgr.h"
#include "skin/VEXTitleBar.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QMessageBox>
#include <QPair>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace titlebartest {

class TvexForm : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
public:
    using QWidget::QWidget;
    vex::TvexUIStyle UIStyle() const { return m_style; }
    void setUIStyle(vex::TvexUIStyle style) { m_style = style; }

private:
    vex::TvexUIStyle m_style = vex::TvexUIStyle::DeepBlue;
};

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

// Runs action and answers the text of the message box it showed (which is
// closed with OK); empty when it showed none.
inline QString messageShownBy(const std::function<void()> &action)
{
    QString text;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            text = box->text();
            box->accept();
        }
    });
    timer.start();
    action();
    return text;
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
