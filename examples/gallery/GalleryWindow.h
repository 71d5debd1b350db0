#pragma once

// The skin gallery's window: every skinned control in one skinned window,
// built from the form description Gallery.form, with the style or a theme
// file chosen at run time (from the Style menu, the style radio buttons or
// the theme-file field).

#include "skin/VEXThemes.h"

#include <QString>
#include <QWidget>

class QAction;
class QLabel;
class QLineEdit;

namespace vex {
class TvexFileTheme;
class TvexForm;
class TvexMainMenu;
class TvexPopupMenu;
} // namespace vex

class TFGallery : public QWidget
{
    Q_OBJECT

public:
    explicit TFGallery(QWidget *parent = nullptr);

    vex::TvexForm *frame() const { return m_frame; }
    vex::TvexMainMenu *mainMenu() const { return m_mainMenu; }
    vex::TvexPopupMenu *popupMenu() const { return m_popupMenu; }
    // The context menu of the picture panels.
    vex::TvexPopupMenu *pictureMenu() const { return m_pictureMenu; }

    // Gives the frame and every skinned control style (with the gallery's
    // file theme for FromThemeFile), and shows the choice in the menu and
    // the radio buttons.
    void applyStyle(vex::TvexUIStyle style);
    // Loads a theme file (a path or a bare name looked up where themes are
    // kept) and shows it; answers whether it loaded. Failures are shown in a
    // message box unless quiet.
    bool loadTheme(const QString &name, bool quiet = false);

public slots:
    // Handlers named in Gallery.form.
    void StyleItemClick(QObject *Sender);
    void StyleRadioClick(QObject *Sender);
    void OpenThemeClick(QObject *Sender);
    void SampleThemeClick(QObject *Sender);
    void LoadThemeClick(QObject *Sender);
    void FlatMenuClick(QObject *Sender);
    void SystemFontClick(QObject *Sender);
    void ExitClick(QObject *Sender);
    void AboutClick(QObject *Sender);
    void ItemClick(QObject *Sender);
    void ButtonClick(QObject *Sender);
    void PushExecute(QObject *Sender);
    void PushEnabledClick(QObject *Sender);
    void PictureStyleClick(QObject *Sender);

private:
    template <typename T>
    T *control(const char *name) const;
    void showPictureStyle();
    void showStatus(const QString &text);

    vex::TvexForm *m_frame = nullptr;
    vex::TvexMainMenu *m_mainMenu = nullptr;
    vex::TvexPopupMenu *m_popupMenu = nullptr;
    vex::TvexPopupMenu *m_pictureMenu = nullptr;
    QAction *m_pushAction = nullptr;
    vex::TvexFileTheme *m_theme = nullptr;
    QLineEdit *m_themeField = nullptr;
    QLabel *m_status = nullptr;
    bool m_applying = false;
};
