#include "GalleryWindow.h"

#include "platform/gui/Action.h"
#include "platform/gui/FormLoader.h"
#include "platform/gui/ImageList.h"
#include "skin/VEXButton.h"
#include "skin/VEXForm.h"
#include "skin/VEXImagePanel.h"
#include "skin/VEXMainMenu.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPopupMenu.h"
#include "skin/VEXPublic.h"
#include "skin/VEXRegister.h"
#include "skin/VEXThemeFile.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaEnum>

using vex::TvexUIStyle;

namespace {

// The style a control of the form names by its ending: rbWinXP and
// miWinXP stand for WinXP, ...ThemeFile for FromThemeFile.
bool styleNamedBy(const QObject *control, TvexUIStyle *style)
{
    QString key = control->objectName().mid(2);
    if (key == QLatin1String("ThemeFile"))
        key = QStringLiteral("FromThemeFile");
    bool ok = false;
    const int value = QMetaEnum::fromType<TvexUIStyle>().keyToValue(key.toLatin1().constData(), &ok);
    if (ok)
        *style = TvexUIStyle(value);
    return ok;
}

QString styleName(TvexUIStyle style)
{
    return QString::fromLatin1(QMetaEnum::fromType<TvexUIStyle>().valueToKey(int(style)));
}

void registerClasses(platform::FormLoader &loader)
{
    vex::registerSkinClasses(loader);
    loader.registerClass<platform::TImageList>(QStringLiteral("TImageList"));
    loader.registerClass<platform::TAction>(QStringLiteral("TAction"));
    loader.registerClass<QLabel>(QStringLiteral("TLabel"));
    loader.registerClass<QLineEdit>(QStringLiteral("TEdit"));
}

} // namespace

TFGallery::TFGallery(QWidget *parent) : QWidget(parent)
{
    platform::FormLoader loader;
    registerClasses(loader);
    loader.load(this, QStringLiteral(":/gallery/Gallery.form"));
    m_frame = control<vex::TvexForm>("vexForm1");
    m_mainMenu = control<vex::TvexMainMenu>("MainMenu1");
    m_popupMenu = control<vex::TvexPopupMenu>("PopupMenu1");
    m_pictureMenu = control<vex::TvexPopupMenu>("pmPicture");
    m_pushAction = control<QAction>("acPush");
    m_theme = control<vex::TvexFileTheme>("vexFileTheme1");
    m_themeField = control<QLineEdit>("eThemeFile");
    m_status = control<QLabel>("lStatus");
    if (!m_frame || !m_mainMenu || !m_popupMenu || !m_pictureMenu || !m_pushAction || !m_theme || !m_themeField
        || !m_status)
        throw platform::FormError(QStringLiteral("Gallery.form lacks one of its controls"));
    connect(m_pictureMenu, &QMenu::aboutToShow, this, &TFGallery::showPictureStyle);
    applyStyle(m_frame->UIStyle());
}

template <typename T>
T *TFGallery::control(const char *name) const
{
    return findChild<T *>(QLatin1String(name));
}

void TFGallery::applyStyle(TvexUIStyle style)
{
    m_applying = true;
    // The frame hands its style to the title bar, the main menu and its
    // direct children; the controls on the panels are given it here.
    m_frame->setFileTheme(m_theme);
    m_frame->setUIStyle(style);
    for (QWidget *widget : m_frame->findChildren<QWidget *>()) {
        if (widget->parentWidget() == m_frame || !vex::HasProperty(widget, "UIStyle")
            || !vex::HasProperty(widget, "FileTheme"))
            continue;
        widget->setProperty("FileTheme", QVariant::fromValue(m_theme));
        widget->setProperty("UIStyle", QVariant::fromValue(style));
    }
    for (vex::TvexPopupMenu *menu : {m_popupMenu, m_pictureMenu}) {
        menu->setFileTheme(m_theme);
        menu->setUIStyle(style);
    }

    // Show the choice where it can be made.
    for (auto *radio : findChildren<vex::TvexRadioButton *>()) {
        TvexUIStyle named;
        if (styleNamedBy(radio, &named))
            radio->setChecked(named == style);
    }
    for (auto *item : m_mainMenu->findChildren<vex::TvexMenuAction *>()) {
        TvexUIStyle named;
        if (item->objectName().startsWith(QLatin1String("mi")) && styleNamedBy(item, &named))
            item->setChecked(named == style);
    }
    m_applying = false;
    const QString theme = style == TvexUIStyle::FromThemeFile && m_theme->Loaded()
                              ? QStringLiteral(" (%1)").arg(QFileInfo(m_theme->ThemeFile()).fileName())
                              : QString();
    m_frame->setCaption(QStringLiteral("Tabulon skin gallery - %1%2").arg(styleName(style), theme));
    showStatus(QStringLiteral("Style %1%2").arg(styleName(style), theme));
}

bool TFGallery::loadTheme(const QString &name, bool quiet)
{
    QString problem;
    try {
        m_theme->setThemeFile(name);
        if (!m_theme->Loaded() || QFileInfo(m_theme->ThemeFile()).fileName() != QFileInfo(name).fileName())
            problem = QStringLiteral("No theme file \"%1\" was found.").arg(name);
    } catch (const vex::ThemeFileError &error) {
        problem = error.message();
    }
    if (!problem.isEmpty()) {
        if (!quiet)
            QMessageBox::warning(this, QStringLiteral("Theme file"), problem);
        showStatus(problem);
        return false;
    }
    m_themeField->setText(m_theme->ThemeFile());
    applyStyle(TvexUIStyle::FromThemeFile);
    return true;
}

void TFGallery::showStatus(const QString &text)
{
    m_status->setText(text);
}

// ---------------------------------------------------------------------------
// Handlers

void TFGallery::StyleItemClick(QObject *Sender)
{
    TvexUIStyle style;
    if (!m_applying && styleNamedBy(Sender, &style))
        applyStyle(style);
}

void TFGallery::StyleRadioClick(QObject *Sender)
{
    TvexUIStyle style;
    if (!m_applying && styleNamedBy(Sender, &style))
        applyStyle(style);
}

void TFGallery::OpenThemeClick(QObject *)
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Open theme file"), QString(),
                                                      QStringLiteral("Theme files (*.theme);;All files (*)"));
    if (!file.isEmpty())
        loadTheme(file);
}

void TFGallery::SampleThemeClick(QObject *)
{
    loadTheme(QStringLiteral("Graphite.theme"));
}

void TFGallery::LoadThemeClick(QObject *)
{
    loadTheme(m_themeField->text().trimmed());
}

void TFGallery::FlatMenuClick(QObject *Sender)
{
    const bool flat = static_cast<vex::TvexMenuAction *>(Sender)->Checked();
    m_mainMenu->setFlatMenu(flat);
    m_popupMenu->setFlatMenu(flat);
    m_pictureMenu->setFlatMenu(flat);
}

void TFGallery::SystemFontClick(QObject *Sender)
{
    const bool system = static_cast<vex::TvexMenuAction *>(Sender)->Checked();
    m_mainMenu->setUseSystemFont(system);
    m_popupMenu->setUseSystemFont(system);
    m_pictureMenu->setUseSystemFont(system);
}

void TFGallery::ExitClick(QObject *)
{
    close();
}

void TFGallery::AboutClick(QObject *)
{
    QMessageBox::about(this, QStringLiteral("Tabulon skin gallery"),
                       QStringLiteral("Every skinned control in every style.\n"
                                      "Choose a style from the Style menu or the radio buttons, "
                                      "or load a theme file to see how it looks."));
}

void TFGallery::ItemClick(QObject *Sender)
{
    if (auto *item = qobject_cast<QAction *>(Sender))
        showStatus(QStringLiteral("Menu item \"%1\"").arg(vex::WithoutAccessMarks(item->text())));
}

void TFGallery::ButtonClick(QObject *Sender)
{
    if (auto *button = qobject_cast<vex::TvexButton *>(Sender))
        showStatus(QStringLiteral("Button \"%1\"").arg(vex::WithoutAccessMarks(button->Caption())));
}

void TFGallery::PushExecute(QObject *Sender)
{
    if (auto *action = qobject_cast<QAction *>(Sender))
        showStatus(QStringLiteral("Action \"%1\"").arg(vex::WithoutAccessMarks(action->text())));
}

void TFGallery::PushEnabledClick(QObject *Sender)
{
    // The button linked to the action follows it.
    m_pushAction->setEnabled(static_cast<vex::TvexMenuAction *>(Sender)->Checked());
}

void TFGallery::PictureStyleClick(QObject *Sender)
{
    auto *panel = qobject_cast<vex::TvexImagePanel *>(m_pictureMenu->PopupComponent());
    if (!panel)
        return;
    const QString name = Sender->objectName();
    const auto style = name == QLatin1String("pmStretch") ? vex::TvexCustomPanel::vexStretch
                       : name == QLatin1String("pmTile")  ? vex::TvexCustomPanel::vexTile
                                                          : vex::TvexCustomPanel::vexNormal;
    panel->setDrawStyle(style);
    showStatus(QStringLiteral("Picture panel \"%1\": %2")
                   .arg(panel->objectName(), vex::WithoutAccessMarks(Sender->property("Caption").toString())));
}

void TFGallery::showPictureStyle()
{
    // The radio items show how the panel that was right-clicked draws.
    auto *panel = qobject_cast<vex::TvexImagePanel *>(m_pictureMenu->PopupComponent());
    if (!panel)
        return;
    const char *item = panel->DrawStyle() == vex::TvexCustomPanel::vexStretch ? "pmStretch"
                       : panel->DrawStyle() == vex::TvexCustomPanel::vexTile  ? "pmTile"
                                                                              : "pmNormal";
    control<vex::TvexMenuAction>(item)->setChecked(true);
}
