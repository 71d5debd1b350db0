#include "ControlTestKit.h"

#include "platform/gui/Align.h"
#include "platform/gui/FormLoader.h"
#include "skin/VEXImagePanel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace controltest;
using vex::TvexCustomPanel;
using vex::TvexImagePanel;

namespace {

// Four quadrants of distinct colours; the bottom-left one is the colour a
// transparent panel keys out.
QImage quadrants(int w, int h)
{
    QImage picture(w, h, QImage::Format_RGB32);
    QPainter p(&picture);
    p.fillRect(0, 0, w / 2, h / 2, QColor(255, 0, 0));
    p.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(0, 0, 255));
    p.fillRect(0, h / 2, w / 2, h - h / 2, QColor(255, 255, 0));
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(0, 255, 255));
    return picture;
}

QRect inkBounds(const QImage &shot, unsigned ink)
{
    QRect bounds;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (rgb(shot, x, y) == ink)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

TEST(ImagePanelTest, WithoutPictureShowsColourOrTheParentWhenTransparent)
{
    FlatForm form;
    TvexImagePanel panel(&form);
    panel.setGeometry(10, 10, 60, 30);
    EXPECT_EQ(panel.Color(), platform::clBtnFace);
    EXPECT_EQ(panel.DrawStyle(), TvexCustomPanel::vexNormal);
    EXPECT_EQ(panel.Alignment(), TvexCustomPanel::taCenter);
    EXPECT_FALSE(panel.TabStop());
    panel.setColor(platform::rgb(200, 10, 20));
    QImage shot = grabImage(&panel);
    EXPECT_EQ(countColor(shot, 0xC80A14u), 60 * 30);

    panel.setTransparent(true);
    shot = grabImage(&panel);
    EXPECT_EQ(countColor(shot, rgb(form.color())), 60 * 30);
    EXPECT_EQ(countColor(shot, 0xC80A14u), 0);
}

TEST(ImagePanelTest, PictureDrawsAtNaturalSizeStretchedOrTiled)
{
    FlatForm form;
    TvexImagePanel panel(&form);
    panel.resize(40, 20);
    panel.setColor(platform::rgb(0, 0, 0));
    panel.setPicture(quadrants(10, 8));

    QImage shot = grabImage(&panel);
    EXPECT_EQ(rgb(shot, 0, 0), 0xFF0000u);
    EXPECT_EQ(rgb(shot, 9, 7), 0x00FFFFu);
    EXPECT_EQ(rgb(shot, 10, 0), 0x000000u) << "beyond the picture: the fill";

    panel.setDrawStyle(TvexCustomPanel::vexStretch);
    shot = grabImage(&panel);
    EXPECT_EQ(inkBounds(shot, 0xFF0000u), QRect(0, 0, 20, 10));
    EXPECT_EQ(inkBounds(shot, 0x00FFFFu), QRect(20, 10, 20, 10));

    panel.setDrawStyle(TvexCustomPanel::vexTile);
    shot = grabImage(&panel);
    for (int x : {0, 10, 20, 30})
        for (int y : {0, 8, 16})
            EXPECT_EQ(rgb(shot, x, y), 0xFF0000u) << x << "," << y;

    // A tile larger than the panel is one copy, clipped.
    panel.setPicture(quadrants(100, 60));
    shot = grabImage(&panel);
    EXPECT_EQ(inkBounds(shot, 0xFF0000u), QRect(0, 0, 40, 20));
}

TEST(ImagePanelTest, TransparentPanelKeysOutThePicturesBottomLeftColour)
{
    FlatForm form;
    TvexImagePanel panel(&form);
    panel.resize(10, 8);
    panel.setPicture(quadrants(10, 8));
    EXPECT_EQ(countColor(grabImage(&panel), 0xFFFF00u), 20);
    panel.setTransparent(true);
    const QImage shot = grabImage(&panel);
    EXPECT_EQ(countColor(shot, 0xFFFF00u), 0);
    EXPECT_EQ(rgb(shot, 0, 7), rgb(form.color()));
    EXPECT_EQ(rgb(shot, 0, 0), 0xFF0000u);
}

TEST(ImagePanelTest, AutoSizeFollowsThePictureAlongTheFreeAxes)
{
    FlatForm form;
    TvexImagePanel free(&form);
    free.resize(50, 50);
    free.setAutoSize(true);
    EXPECT_EQ(free.size(), QSize(50, 50)) << "nothing happens without a picture";
    free.setPicture(quadrants(30, 12));
    EXPECT_EQ(free.size(), QSize(30, 12));

    TvexImagePanel top(&form);
    platform::setAlign(&top, platform::alTop);
    top.setAutoSize(true);
    top.setPicture(quadrants(30, 12));
    EXPECT_EQ(top.size(), QSize(form.width(), 12));

    TvexImagePanel client(&form);
    platform::setAlign(&client, platform::alClient);
    const QSize before = client.size();
    client.setPicture(quadrants(30, 12));
    client.setAutoSize(true);
    EXPECT_EQ(client.size(), before);
}

TEST(ImagePanelTest, CaptionIsOneLineVerticallyCentredAfterAlignment)
{
    FlatForm form;
    TvexImagePanel panel(&form);
    panel.resize(200, 40);
    panel.setColor(platform::rgb(255, 255, 255));
    ASSERT_TRUE(form.showActive());
    const QImage blank = grabImage(&panel);
    QSignalSpy resized(&panel, &TvexImagePanel::OnResize);

    panel.setCaption(QStringLiteral("   "));
    EXPECT_TRUE(grabImage(&panel) == blank);
    EXPECT_TRUE(panel.lastCaptionRect().isNull());

    panel.setCaption(QStringLiteral("Options"));
    const QRect centred = inkBounds(grabImage(&panel), 0x000000u);
    EXPECT_NEAR(centred.center().x(), 100, 2);
    EXPECT_NEAR(centred.center().y(), 20, 3);
    EXPECT_EQ(panel.lastCaptionRect(), QRect(0, 0, 200, 40));

    panel.setAlignment(TvexCustomPanel::taRightJustify);
    const QRect right = inkBounds(grabImage(&panel), 0x000000u);
    EXPECT_GE(right.right(), 195);
    EXPECT_EQ(right.top(), centred.top());

    // Leading blanks are drawn: the text starts further right.
    panel.setAlignment(TvexCustomPanel::taLeftJustify);
    const int plainLeft = inkBounds(grabImage(&panel), 0x000000u).left();
    panel.setCaption(QStringLiteral("   Options"));
    EXPECT_GT(inkBounds(grabImage(&panel), 0x000000u).left(), plainLeft + 4);

    resized.clear();
    panel.resize(220, 40);
    EXPECT_GE(resized.count(), 1);
    EXPECT_EQ(resized.first().first().value<QObject *>(), &panel);
}

TEST(ImagePanelTest, FormDescriptionSetsThePublishedProperties)
{
    platform::FormLoader loader;
    loader.registerClass<TvexImagePanel>(QStringLiteral("TvexImagePanel"));
    QWidget form;
    form.resize(300, 200);
    loader.loadFromText(&form, R"(
object F : QWidget {
    object strip : TvexImagePanel {
        Left = 0  Top = 121  Width = 300  Height = 52
        Align = alTop
        Transparent = true
        AutoSize = false
        DrawStyle = vexTile
        Alignment = taLeftJustify
        BorderWidth = 3
    }
}
)",
                        QString());
    auto *strip = form.findChild<TvexImagePanel *>(QStringLiteral("strip"));
    ASSERT_TRUE(strip);
    EXPECT_TRUE(strip->Transparent());
    EXPECT_EQ(strip->DrawStyle(), TvexCustomPanel::vexTile);
    EXPECT_EQ(strip->Alignment(), TvexCustomPanel::taLeftJustify);
    EXPECT_EQ(strip->contentsRect(), QRect(3, 3, 294, 46));
    EXPECT_EQ(strip->geometry(), QRect(0, 0, 300, 52));
}

} // namespace
