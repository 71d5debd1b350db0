#pragma once

#include "platform/gui/Component.h"
#include "platform/gui/ComponentLink.h"
#include "platform/gui/ImageList.h"

#include <QAction>
#include <QString>

namespace platform {

// An action as a form description stores it (class name "TAction"): a QAction
// whose caption, enabled state, hint and picture the controls that link to it
// follow. Its picture is the one at ImageIndex in Images.
//
//     object acGo : TAction {
//         Caption = "&Go"
//         Images = ImageList1  ImageIndex = 0
//         OnExecute = GoExecute
//     }
class TAction : public QAction, public Component
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool Visible READ isVisible WRITE setVisible)
    Q_PROPERTY(bool Checked READ isChecked WRITE setCheckedState)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)
    Q_PROPERTY(QString ShortCut READ ShortCut WRITE setShortCut)
    Q_PROPERTY(platform::TImageList *Images READ Images WRITE setImages)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE setImageIndex)

public:
    Q_INVOKABLE explicit TAction(QObject *owner = nullptr);
    ~TAction() override;

    // The shortcut in its portable spelling ("Ctrl+G"); empty for none.
    QString ShortCut() const { return shortcut().toString(QKeySequence::PortableText); }
    void setShortCut(const QString &keys) { setShortcut(QKeySequence(keys, QKeySequence::PortableText)); }

    // A stored Checked makes the action checkable.
    void setCheckedState(bool checked);

    TImageList *Images() const { return m_images; }
    void setImages(TImageList *images) { m_images.set(images); }
    // -1: no picture.
    int ImageIndex() const { return m_imageIndex; }
    void setImageIndex(int index);

signals:
    void OnExecute(QObject *Sender);

private:
    void syncIcon();

    TImageListLink m_images;
    int m_imageIndex = -1;
};

} // namespace platform
