// The check box and the radio button.

#include "skin/VEXButton.h"

#include "platform/gui/SystemMetrics.h"
#include "skin/VEXButtonParts_p.h"
#include "skin/VEXPublic.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <exception>

namespace vex {

using namespace buttonparts;

// ---------------------------------------------------------------------------
// TvexCheckBox

TvexCheckBox::TvexCheckBox(QWidget *parent) : TvexKeyedControl(parent)
{
    setMouseTracking(true);
    resize(93, 17);
}

TvexCheckBox::~TvexCheckBox() = default;

void TvexCheckBox::setChecked(bool value)
{
    if (value == m_checked)
        return;
    m_checked = value;
    update();
    CheckedChanged();
}

void TvexCheckBox::setAutoSize(bool value)
{
    StoreAndRepaint(this, m_autoSize, value, [this] { fitToContents(); });
}

platform::TColor TvexCheckBox::Color() const
{
    return m_parentColor ? parentColor(this) : m_color;
}

void TvexCheckBox::setColor(platform::TColor color)
{
    m_color = color;
    m_parentColor = false;
    update();
}

void TvexCheckBox::Click()
{
    Toggle();
}

void TvexCheckBox::MnemonicPressed()
{
    if (!isEnabled())
        return;
    if (isVisible())
        setFocus(Qt::ShortcutFocusReason);
    Click();
}

bool TvexCheckBox::FocusVisible() const
{
    return TabStop() && hasFocus();
}

void TvexCheckBox::CheckedChanged()
{
    if (!isLoading())
        emit OnClick(this);
}

void TvexCheckBox::Toggle()
{
    BeforeToggle();
    setChecked(!m_checked);
}

QImage TvexCheckBox::statePicture() const
{
    const int frame = isEnabled() ? (m_checked ? 1 : 2) : (m_checked ? 3 : 4);
    QImage picture;
    try {
        picture = ThemeImageFrame(FileTheme(), UIStyle(), PictureKey(), frame, 4);
    } catch (const std::exception &) {
        picture = QImage();
    }
    if (!picture.isNull() && PictureTransparent())
        picture = KeyedOut(picture, picture.pixel(0, picture.height() - 1));
    return picture;
}

bool TvexCheckBox::rightToLeft() const
{
    return m_biDiMode == bdRightToLeft && platform::middleEastEnabled();
}

QSize TvexCheckBox::sizeHint() const
{
    const QImage picture = statePicture();
    const QFontMetrics metrics(font());
    return QSize(picture.width() + 8 + metrics.horizontalAdvance(Caption()),
                 qMax(metrics.height() + 2, picture.height()) + 4);
}

void TvexCheckBox::fitToContents()
{
    updateGeometry();
    if (!m_autoSize)
        return;
    const QSize fitted = sizeHint();
    if (fitted != size())
        resize(fitted);
}

void TvexCheckBox::CaptionChanged()
{
    fitToContents();
}

void TvexCheckBox::UIStyleChanged()
{
    fitToContents();
}

QColor TvexCheckBox::BackgroundColor() const
{
    return platform::toQColor(Color());
}

void TvexCheckBox::PaintFace(QPainter &canvas)
{
    const QImage picture = statePicture();
    const int pw = picture.width();
    const int ph = picture.height();
    const int hW = QFontMetrics(font()).height();
    canvas.setBrush(Qt::NoBrush);
    canvas.setFont(font());
    // The font's own colour in every state: only the picture shows that
    // the control is disabled, and the disabled text colour hardly
    // stands out from the patterns the captions lie on.
    canvas.setPen(palette().color(QPalette::Active, QPalette::WindowText));
    const int y0 = (height() - hW) / 2;
    const int pictureTop = (height() - ph) / 2;
    const int textFlags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic;
    const bool rtl = rightToLeft();
    if (!rtl) {
        if (!picture.isNull())
            canvas.drawImage(1, pictureTop, picture);
        canvas.drawText(QRect(pw + 4, y0, width() - (pw + 4), height() - y0), textFlags | Qt::AlignLeft, Caption());
    } else {
        if (!picture.isNull())
            canvas.drawImage(width() - pw - 1, pictureTop, picture);
        canvas.drawText(QRect(0, y0, width() - (pw + 4), height() - y0), textFlags | Qt::AlignRight, Caption());
    }
    if (FocusVisible()) {
        const QRect focus =
            rtl ? QRect(0, y0, width() - (pw + 4) + 2, hW + 2) : QRect(pw + 3, y0, width() - (pw + 3), hW + 2);
        drawFocusRect(canvas, focus);
    }
}

void TvexCheckBox::mousePressEvent(QMouseEvent *event)
{
    QPointer<TvexCheckBox> self(this);
    TvexKeyedControl::mousePressEvent(event);
    // Clicks focus the control even without TabStop, after its handlers ran.
    if (self && event->button() == Qt::LeftButton && isEnabled() && isVisible())
        setFocus(Qt::MouseFocusReason);
}

void TvexCheckBox::KeyPressed(QKeyEvent *event)
{
    QPointer<TvexCheckBox> self(this);
    if (!event->text().isEmpty() && !isDialogKey(event->key()))
        emit OnKeyPress(this, event->text());
    if (!self)
        return;
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    // Enter and Escape go on to the form (default and cancel buttons).
    QWidget::keyPressEvent(event);
}

void TvexCheckBox::changeEvent(QEvent *event)
{
    TvexKeyedControl::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToContents();
}

void TvexCheckBox::resizeEvent(QResizeEvent *event)
{
    TvexKeyedControl::resizeEvent(event);
    // A size that AutoSize does not allow is fitted again at once.
    fitToContents();
}

// ---------------------------------------------------------------------------
// TvexRadioButton

TvexRadioButton::TvexRadioButton(QWidget *parent) : TvexCheckBox(parent)
{
    // Focus arriving from a radio-group button checks this one, so arrow
    // keys through such a group move the check. The window class name is
    // what marks those buttons.
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        if (now == this && old && old != this && ClassName(old) == QLatin1String("TvexRadioGroupButton"))
            Click();
    });
}

TvexRadioButton::~TvexRadioButton()
{
    disconnect(m_focusWatch);
}

void TvexRadioButton::CheckedChanged()
{
    if (!Checked())
        return;
    uncheckGroup();
    if (!isLoading())
        emit OnClick(this);
}

void TvexRadioButton::Toggle()
{
    if (!Checked())
        setChecked(true);
}

void TvexRadioButton::uncheckGroup()
{
    if (QWidget *parent = parentWidget()) {
        UncheckGroupMates<TvexRadioButton>(parent->children(), this, [this](const TvexRadioButton &mate) {
            return mate.GroupIndex() == m_groupIndex;
        });
    }
}

void TvexRadioButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is a double click, not a click.
    doubleClickPressed(event, [this] { emit OnDblClick(this); });
}

} // namespace vex
