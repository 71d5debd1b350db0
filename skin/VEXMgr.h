#pragma once

#include "platform/gui/Colors.h"
#include "platform/gui/Component.h"
#include "skin/VEXThemes.h"

#include <QImage>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <tuple>

namespace vex {

// A non-visual component holding a loaded theme file. A form keeps it as a
// child; skinned controls refer to it through their FileTheme property.
class TvexFileTheme : public QObject, public platform::Component
{
    Q_OBJECT
    Q_PROPERTY(QString ThemeFile READ ThemeFile WRITE setThemeFile)

public:
    Q_INVOKABLE explicit TvexFileTheme(QObject *owner = nullptr);
    ~TvexFileTheme() override;

    // The resolved full name of the loaded file; empty until one is loaded.
    QString ThemeFile() const { return m_themeFile; }
    // Finds name as given, else its file-name part in searchDirectories(), in
    // order; a name found nowhere is ignored silently. A file that is not a
    // theme file throws ThemeFileError("Invalid skin file for Velkano!") and
    // changes nothing. A reading error throws after ThemeFile has taken the
    // new name. On success, the Tvex components of the owner form that use
    // this theme get it assigned again (which makes them re-apply it).
    void setThemeFile(const QString &name);

    bool Loaded() const { return m_loaded; }

    static bool IsThemeFile(const QString &fileName);

    // The places a bare or missing name is looked for, after the name itself:
    // the program's directory, the installed themes (<datadir>/tabulon/themes,
    // /usr/share/tabulon/themes for an install under /usr) and the compiled-in
    // themes (":/themes").
    static QStringList searchDirectories();

    // The element's whole picture into *picture; untouched when the file lacks
    // it (or none is loaded).
    void GetImage(int element, QImage *picture) const;
    // Frame frameIndex (1-based) of frameCount out of the element's picture;
    // a missing element gives a null picture. Pictures and frames are made
    // once per loaded file; the same image comes back until the next load.
    void GetImageFrame(int element, QImage *picture, int frameIndex, int frameCount) const;
    bool GetBool(int element) const;              // false when missing or none loaded
    platform::TColor GetColor(int element) const; // -1 when missing, 0 when none loaded
    int GetInt(int element) const;                // -1 when missing, 0 when none loaded

    TvexFileThemeMgr &manager() { return m_manager; }

private:
    void reapplyToOwnerForm(bool wasEmpty);

    QString m_themeFile;
    bool m_loaded = false;
    TvexFileThemeMgr m_manager;
    using FrameKey = std::tuple<int, int, int>; // element, frame index, frame count
    mutable std::map<FrameKey, QImage> m_frames;
};

// Resolves a control's style against its theme. Answers true (read from the
// theme) when style is FromThemeFile and theme is loaded. Otherwise false; a
// FromThemeFile style then becomes DeepBlue.
bool UseFileTheme(const TvexFileTheme *theme, TvexUIStyle &style);

// One-call lookups for controls: UseFileTheme, then the theme's or the
// built-in table's answer for the resolved style.
QImage ThemeImage(const TvexFileTheme *theme, TvexUIStyle style, int element);
QImage ThemeImageFrame(const TvexFileTheme *theme, TvexUIStyle style, int element, int frameIndex, int frameCount);
platform::TColor ThemeColor(const TvexFileTheme *theme, TvexUIStyle style, int element);
int ThemeInt(const TvexFileTheme *theme, TvexUIStyle style, int element);
bool ThemeBool(const TvexFileTheme *theme, TvexUIStyle style, int element);

// A control's FileTheme: a non-owning link that clears itself when the theme
// is destroyed and then runs the control's fallback (usually: take DeepBlue
// and repaint). Use as a member:
//
//     Q_PROPERTY(vex::TvexFileTheme *FileTheme READ FileTheme WRITE setFileTheme)
//     vex::TvexFileThemeLink m_fileTheme{this, [this] { setUIStyle(vex::TvexUIStyle::DeepBlue); }};
//     TvexFileTheme *FileTheme() const { return m_fileTheme; }
//     void setFileTheme(TvexFileTheme *t) { m_fileTheme.set(t); applyStyle(); }
//
// The fallback runs while the theme is being destroyed: it must not touch
// the theme. It does not run once the link itself is gone.
class TvexFileThemeLink
{
public:
    TvexFileThemeLink(QObject *holder, std::function<void()> onRemoved);
    ~TvexFileThemeLink();
    TvexFileThemeLink(const TvexFileThemeLink &) = delete;
    TvexFileThemeLink &operator=(const TvexFileThemeLink &) = delete;

    TvexFileTheme *get() const { return m_theme.data(); }
    operator TvexFileTheme *() const { return m_theme.data(); }
    TvexFileTheme *operator->() const { return m_theme.data(); }

    // Holds theme (or none). Answers whether the held theme changed.
    bool set(TvexFileTheme *theme);

private:
    void removed();

    QObject *m_holder;
    std::function<void()> m_onRemoved;
    QPointer<TvexFileTheme> m_theme;
    QMetaObject::Connection m_connection;
};

// The UIStyle and FileTheme a skinned object draws with, for controls, menus,
// the title bar and the frame alike. Only the storage and the getters are
// shared: each class's own setters decide what a change applies and repaints.
// List it after the QObject base, so that the link goes before the object's
// children (a theme among them) are destroyed.
class TvexStyleHolder
{
public:
    TvexUIStyle UIStyle() const { return m_uiStyle; }
    TvexFileTheme *FileTheme() const { return m_fileTheme; }

protected:
    TvexStyleHolder(QObject *holder, std::function<void()> onThemeRemoved, TvexUIStyle style = TvexUIStyle::DeepBlue)
        : m_uiStyle(style), m_fileTheme(holder, std::move(onThemeRemoved))
    {}
    ~TvexStyleHolder() = default;

    TvexUIStyle m_uiStyle;
    TvexFileThemeLink m_fileTheme;
};

} // namespace vex
