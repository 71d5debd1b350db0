#include "app/WindowSettings.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

#include <algorithm>

namespace {

// Controls of the main window's form description.
const char *const kTree = "DirectoryListBox1";
const char *const kMasks = "eFileType";
const char *const kOutput = "ePath";
const char *const kKindRadios[] = {"vexRadioButton1", "vexRadioButton2", "vexRadioButton4"};

const char *const kSourceKey = "MainWindow/source";
const char *const kMasksKey = "MainWindow/masks";
const char *const kOutputKey = "MainWindow/output";
const char *const kKindKey = "MainWindow/kind";
const char *const kPositionKey = "MainWindow/position";

QLineEdit *edit(const QWidget &window, const char *name)
{
    return window.findChild<QLineEdit *>(QLatin1String(name));
}

QWidget *child(const QWidget &window, const char *name)
{
    return window.findChild<QWidget *>(QLatin1String(name));
}

// The kind is kept as the name of its radio button in the form.
QString checkedKindRadio(const QWidget &window)
{
    for (const char *name : kKindRadios) {
        const QWidget *radio = child(window, name);
        if (radio && radio->property("Checked").toBool())
            return QLatin1String(name);
    }
    return {};
}

void restoreText(QSettings &settings, const char *key, QLineEdit *target)
{
    if (target && settings.contains(QLatin1String(key)))
        target->setText(settings.value(QLatin1String(key)).toString());
}

void restoreSource(QSettings &settings, QWidget &window)
{
    QWidget *tree = child(window, kTree);
    const QString saved = settings.value(QLatin1String(kSourceKey)).toString();
    if (tree && !saved.isEmpty() && QFileInfo(saved).isDir())
        tree->setProperty("Directory", saved);
}

void restoreKind(QSettings &settings, QWidget &window)
{
    const QString saved = settings.value(QLatin1String(kKindKey)).toString();
    for (const char *name : kKindRadios) {
        if (saved == QLatin1String(name)) {
            if (QWidget *radio = child(window, name))
                radio->setProperty("Checked", true);
        }
    }
}

void restorePosition(QSettings &settings, QWidget &window)
{
    const QVariant saved = settings.value(QLatin1String(kPositionKey));
    if (saved.typeId() != QMetaType::QPoint)
        return;
    // The primary screen first: it takes a window that is on no screen.
    QList<QRect> areas;
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary)
        areas << primary->availableGeometry();
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen != primary)
            areas << screen->availableGeometry();
    }
    const QRect frame(saved.toPoint(), window.frameGeometry().size());
    window.move(WindowSettings::placeOnScreen(frame, areas));
}

int overlap(const QRect &a, const QRect &b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : common.width() * common.height();
}

} // namespace

QString WindowSettings::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/tabulon/tabulon.conf");
}

bool WindowSettings::save(const QWidget &window)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    if (const QWidget *tree = child(window, kTree))
        settings.setValue(QLatin1String(kSourceKey), tree->property("Directory").toString());
    if (const QLineEdit *masks = edit(window, kMasks))
        settings.setValue(QLatin1String(kMasksKey), masks->text());
    if (const QLineEdit *output = edit(window, kOutput))
        settings.setValue(QLatin1String(kOutputKey), output->text());
    const QString kind = checkedKindRadio(window);
    if (!kind.isEmpty())
        settings.setValue(QLatin1String(kKindKey), kind);
    settings.setValue(QLatin1String(kPositionKey), window.pos());
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qWarning("tabulon: cannot write the window settings to %s", qPrintable(settings.fileName()));
        return false;
    }
    return true;
}

void WindowSettings::restore(QWidget &window)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    restoreSource(settings, window);
    restoreText(settings, kMasksKey, edit(window, kMasks));
    restoreText(settings, kOutputKey, edit(window, kOutput));
    restoreKind(settings, window);
    restorePosition(settings, window);
}

QPoint WindowSettings::placeOnScreen(const QRect &frame, const QList<QRect> &availableAreas)
{
    if (availableAreas.isEmpty())
        return frame.topLeft();
    QRect area = availableAreas.first();
    int best = 0;
    for (const QRect &candidate : availableAreas) {
        if (overlap(frame, candidate) > best) {
            best = overlap(frame, candidate);
            area = candidate;
        }
    }
    // Right and bottom edges first, so that a window larger than the area
    // keeps its title bar on screen.
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    return {x, y};
}
