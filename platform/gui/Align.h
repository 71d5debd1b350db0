#pragma once

#include <QObject>
#include <QWidget>

namespace platform {
Q_NAMESPACE

// How a child widget is placed in its parent: stacked against an edge in the
// order of its position, or filling what the edges leave over.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
Q_ENUM_NS(TAlign)

// Sets how `widget` is placed in its parent and re-arranges the parent.
// Aligned widgets keep their own height (top, bottom) or width (left, right).
void setAlign(QWidget *widget, TAlign align);
TAlign align(const QWidget *widget);

// Places the aligned children of `parent` in its contents rectangle. Called
// automatically on resizes, shows, hides and size changes of aligned children.
void realign(QWidget *parent);

} // namespace platform
