#include "platform/gui/Action.h"

#include <QIcon>

namespace platform {

TAction::TAction(QObject *owner) : QAction(owner), m_images(this, &TImageList::changed, [this] { syncIcon(); })
{
    connect(this, &QAction::triggered, this, [this] { emit OnExecute(this); });
}

TAction::~TAction()
{
    markDestroying();
}

void TAction::setCheckedState(bool checked)
{
    setCheckable(true);
    setChecked(checked);
}

void TAction::setImageIndex(int index)
{
    m_imageIndex = index;
    syncIcon();
}

void TAction::syncIcon()
{
    const QPixmap picture = m_images ? m_images->image(m_imageIndex) : QPixmap();
    setIcon(picture.isNull() ? QIcon() : QIcon(picture));
}

} // namespace platform
