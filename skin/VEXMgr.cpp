#include "skin/VEXMgr.h"

#include "platform/gui/WindowEvents.h"
#include "skin/VEXPublic.h"
#include "skin/VEXThemeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace vex {

TvexFileTheme::TvexFileTheme(QObject *owner) : QObject(owner) {}

TvexFileTheme::~TvexFileTheme()
{
    markDestroying();
}

bool TvexFileTheme::IsThemeFile(const QString &fileName)
{
    return vex::IsThemeFile(fileName);
}

QStringList TvexFileTheme::searchDirectories()
{
    return {QCoreApplication::applicationDirPath(), QStringLiteral(TABULON_DATADIR "/tabulon/themes"),
            QStringLiteral(":/themes")};
}

static QString withSeparator(const QString &dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

void TvexFileTheme::setThemeFile(const QString &name)
{
    const bool wasEmpty = m_themeFile.isEmpty();
    if (name == m_themeFile)
        return;

    QString found;
    if (QFileInfo(name).isFile()) {
        found = name;
    } else {
        const QString bare = QFileInfo(name).fileName();
        if (bare.isEmpty())
            return;
        for (const QString &dir : searchDirectories()) {
            const QString candidate = withSeparator(dir) + bare;
            if (QFileInfo(candidate).isFile()) {
                found = candidate;
                break;
            }
        }
    }
    if (found.isEmpty())
        return;
    if (!vex::IsThemeFile(found))
        throw ThemeFileError(QStringLiteral("Invalid skin file for Velkano!"));

    m_themeFile = found;
    m_frames.clear();
    m_loaded = m_manager.LoadFile(m_themeFile);
    if (m_loaded)
        reapplyToOwnerForm(wasEmpty);
}

void TvexFileTheme::reapplyToOwnerForm(bool wasEmpty)
{
    QWidget *form = platform::ownerForm(this);
    if (!form)
        return;
    bool frameUsesThis = false;
    // Re-applying a theme may delete and create objects (a title bar renews
    // its sections), so every component is watched from before the walk.
    QList<QPointer<QObject>> components;
    for (QObject *component : platform::ownedComponents(form))
        components.append(component);
    for (const QPointer<QObject> &component : std::as_const(components)) {
        if (!component || component == this)
            continue;
        if (!HasProperty(component, "FileTheme"))
            continue;
        auto *held = qvariant_cast<QObject *>(component->property("FileTheme"));
        if (held != this)
            continue;
        if (SkinnedFrameOf(component))
            frameUsesThis = true;
        // The name is the rule here: components of the Tvex family take a
        // theme again, others that merely hold one are left alone.
        if (ClassName(component).startsWith(QLatin1String("Tvex")))
            component->setProperty("FileTheme", QVariant::fromValue(this));
    }
    if (frameUsesThis && !wasEmpty)
        platform::notifyFrameChanged(form);
}

void TvexFileTheme::GetImage(int element, QImage *picture) const
{
    m_manager.GetImage(element, picture);
}

void TvexFileTheme::GetImageFrame(int element, QImage *picture, int frameIndex, int frameCount) const
{
    if (!picture)
        return;
    const FrameKey key{element, frameIndex, frameCount};
    auto cached = m_frames.find(key);
    if (cached == m_frames.end()) {
        // Only the frame is kept: a strip that no one asked for whole would
        // double what the theme holds in memory.
        QImage strip;
        m_manager.GetImageForOneUse(element, &strip);
        QImage frame;
        GetFrame(strip, frame, frameCount, frameIndex);
        cached = m_frames.emplace(key, frame).first;
    }
    *picture = cached->second;
}

bool TvexFileTheme::GetBool(int element) const
{
    return m_manager.GetBool(element);
}

platform::TColor TvexFileTheme::GetColor(int element) const
{
    return m_manager.GetColor(element);
}

int TvexFileTheme::GetInt(int element) const
{
    return m_manager.GetInt(element);
}

bool UseFileTheme(const TvexFileTheme *theme, TvexUIStyle &style)
{
    if (style != TvexUIStyle::FromThemeFile)
        return false;
    if (theme && theme->Loaded())
        return true;
    style = TvexUIStyle::DeepBlue;
    return false;
}

QImage ThemeImage(const TvexFileTheme *theme, TvexUIStyle style, int element)
{
    QImage picture;
    if (UseFileTheme(theme, style))
        theme->GetImage(element, &picture);
    else
        LoadBuiltInBitmap(style, element, &picture);
    return picture;
}

QImage ThemeImageFrame(const TvexFileTheme *theme, TvexUIStyle style, int element, int frameIndex, int frameCount)
{
    QImage picture;
    if (UseFileTheme(theme, style))
        theme->GetImageFrame(element, &picture, frameIndex, frameCount);
    else
        GetBuiltInBitmap(style, element, &picture, frameIndex, frameCount);
    return picture;
}

platform::TColor ThemeColor(const TvexFileTheme *theme, TvexUIStyle style, int element)
{
    return UseFileTheme(theme, style) ? theme->GetColor(element) : GetBuiltInColor(style, element);
}

int ThemeInt(const TvexFileTheme *theme, TvexUIStyle style, int element)
{
    return UseFileTheme(theme, style) ? theme->GetInt(element) : GetBuiltInInteger(style, element);
}

bool ThemeBool(const TvexFileTheme *theme, TvexUIStyle style, int element)
{
    return UseFileTheme(theme, style) ? theme->GetBool(element) : GetBuiltInBoolean(style, element);
}

// ---- TvexFileThemeLink -------------------------------------------------------

TvexFileThemeLink::TvexFileThemeLink(QObject *holder, std::function<void()> onRemoved)
    : m_holder(holder), m_onRemoved(std::move(onRemoved))
{}

TvexFileThemeLink::~TvexFileThemeLink()
{
    QObject::disconnect(m_connection);
}

bool TvexFileThemeLink::set(TvexFileTheme *theme)
{
    if (theme == m_theme.data())
        return false;
    QObject::disconnect(m_connection);
    m_connection = {};
    m_theme = theme;
    if (theme)
        m_connection = QObject::connect(theme, &QObject::destroyed, m_holder, [this] { removed(); });
    return true;
}

void TvexFileThemeLink::removed()
{
    m_theme = nullptr;
    m_connection = {};
    if (m_onRemoved)
        m_onRemoved();
}

} // namespace vex
