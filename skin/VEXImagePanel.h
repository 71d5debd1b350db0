#pragma once

#include "platform/gui/Colors.h"
#include "skin/VEXControl.h"

#include <QImage>
#include <QMenu>
#include <QRect>
#include <QString>
#include <QWidget>

namespace vex {

// A panel that paints itself in one go from an off-screen image: optionally
// what its parent shows beneath it, then a picture (at natural size,
// stretched or tiled) or a plain colour, then a one-line caption.
class TvexCustomPanel : public TvexControl
{
    Q_OBJECT

public:
    enum TvexDrawStyle : quint8 { vexNormal, vexStretch, vexTile };
    Q_ENUM(TvexDrawStyle)
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)

    explicit TvexCustomPanel(QWidget *parent = nullptr);
    ~TvexCustomPanel() override;

    // The panel keeps its own copy; a null image means "no picture".
    QImage Picture() const { return m_picture; }
    void setPicture(const QImage &picture);

    // Transparent (see TvexControl) also keys the picture's transparent
    // colour (its bottom-left pixel) out.

    // Size the panel to its picture along the axes its Align leaves free.
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool value);

    TvexDrawStyle DrawStyle() const { return m_drawStyle; }
    void setDrawStyle(TvexDrawStyle value);

    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment value);

    // The fill when there is neither a picture nor transparency.
    platform::TColor Color() const { return m_color; }
    void setColor(platform::TColor color);

    // Keeps aligned children this many pixels away from every edge.
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int value);

    // Where the caption is drawn: the whole panel once a caption with
    // something to show was set; empty before that.
    QRect lastCaptionRect() const { return m_captionRect; }

signals:
    void OnDblClick(QObject *Sender);
    void OnResize(QObject *Sender);

protected:
    // Chooses the fill colour used when nothing else covers the panel.
    virtual void PrepareBackground();
    // Called with the previous caption rectangle when the caption changes.
    virtual void PanelCaptionChanged(const QRect &lastCaptionRect);
    // Runs whenever the picture has been replaced.
    virtual void PictureChanged();

    QColor BackgroundColor() const override;
    void PaintFace(QPainter &canvas) override;
    void CaptionChanged() override;
    void TransparentChanged() override;

    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

    platform::TColor m_brushColor;

private:
    void ApplyPictureSize();
    void SyncPictureTransparency();
    void drawPicture(QPainter &canvas) const;
    void drawCaption(QPainter &canvas) const;
    void placeCaption();

    QImage m_picture;
    bool m_pictureTransparent = false; // the graphic's own flag, kept in step with Transparent
    bool m_autoSize = false;
    TvexDrawStyle m_drawStyle = vexNormal;
    TAlignment m_alignment = taCenter;
    platform::TColor m_color = platform::clBtnFace;
    int m_borderWidth = 0;
    QRect m_captionRect;
};

// The panel with the surface a form description sets. Align, Font, Visible
// and TabOrder are the loader's framework properties.
class TvexImagePanel : public TvexCustomPanel
{
    Q_OBJECT
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE setBorderWidth)
    Q_PROPERTY(QImage Picture READ Picture WRITE setPicture)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(vex::TvexCustomPanel::TAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(int Color READ Color WRITE setColor)
    Q_PROPERTY(vex::TvexCustomPanel::TvexDrawStyle DrawStyle READ DrawStyle WRITE setDrawStyle)

public:
    Q_INVOKABLE explicit TvexImagePanel(QWidget *parent = nullptr);
};

} // namespace vex
