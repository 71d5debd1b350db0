#include "app/PathEdit.h"

#include <QDir>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

TPathEdit::TPathEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, &TPathEdit::updateHint);
}

int TPathEdit::textWidth() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const QMargins margins = textMargins();
    // QLineEdit keeps two pixels free on each side of its text.
    return std::max(0, area.width() - margins.left() - margins.right() - 4);
}

QString TPathEdit::shownText() const
{
    if (hasFocus())
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, textWidth());
}

void TPathEdit::updateHint()
{
    setToolTip(QDir::toNativeSeparators(text()));
    update();
}

void TPathEdit::paintEvent(QPaintEvent *event)
{
    const QString shown = shownText();
    if (shown == text()) {
        QLineEdit::paintEvent(event);
        return;
    }
    // The frame and background as the edit draws them, then the shortened
    // text where the edit would start its own.
    QPainter painter(this);
    QStyleOptionFrame option;
    initStyleOption(&option);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
    QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    area = area.marginsRemoved(textMargins()).adjusted(2, 0, -2, 0);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
}
