#pragma once

// The band across the top of a skinned frame (private to the frame): its
// title bar, then its menu bar, at their own heights.
//
// The band is the frame's layout. It keeps the frame's top contents margin
// at the band's height, so the frame's edge-aligned children (platform/gui/
// Align.h) stack under the band whatever their order, their stored positions
// or the order in which they and the band's rows were made. A hidden row
// takes no room.

#include <QLayout>
#include <QWidget>

#include <memory>
#include <vector>

namespace vex {

class TvexFormBand : public QLayout
{
public:
    // The rows, top to bottom.
    enum Row { TitleBarRow, MenuBarRow };

    // Becomes frame's layout; frame's layout then covers its whole rect.
    explicit TvexFormBand(QWidget *frame);
    ~TvexFormBand() override;

    // Puts widget (a child of the frame) into row, in place of what the row
    // held; null empties the row. The widget is no longer edge-aligned.
    // Widgets added as plain layout items go under the last row.
    void setRow(int row, QWidget *widget);
    QWidget *rowWidget(int row) const;

    // The height of the visible rows together.
    int bandHeight() const;

    // Places the rows and the frame's top margin for the frame's size now.
    void place();

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry
    {
        int row;
        std::unique_ptr<QLayoutItem> item;
    };
    int indexOfRow(int row) const;
    void insert(int row, QLayoutItem *item);
    QWidget *frame() const { return parentWidget(); }

    std::vector<Entry> m_rows; // in Row order
    bool m_placing = false;
};

} // namespace vex
