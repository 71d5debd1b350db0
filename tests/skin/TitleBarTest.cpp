#include "TitleBarTestSupport.h"

#include "common/TestSupport.h"
#include "platform/gui/Align.h"
#include "platform/gui/FormLoader.h"
#include "skin/VEXPublic.h"
#include "skin/VEXTitleBar.h"

#include <QCloseEvent>
#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace vex;
using testsupport::rgbAt;

namespace {

QImage strip(TvexUIStyle style, int frame)
{
    QImage image;
    GetBuiltInBitmap(style, TitleBarButtonImage, &image, frame, 18);
    return image;
}

// A host whose close query can refuse.
class Host : public QWidget
{
public:
    bool refuse = false;
    int closeQueries = 0;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        ++closeQueries;
        if (refuse)
            event->ignore();
        else
            event->accept();
    }
};

bool hasPixel(const QImage &image, const QRect &region, unsigned rgb)
{
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if (rgbAt(image, x, y) == rgb)
                return true;
    return false;
}

int firstColumnWith(const QImage &image, const QRect &region, unsigned rgb)
{
    for (int x = region.left(); x <= region.right(); ++x)
        for (int y = region.top(); y <= region.bottom(); ++y)
            if (rgbAt(image, x, y) == rgb)
                return x;
    return -1;
}

QPoint centreOf(const TvexTitleBar::Layout::Place &place)
{
    return place.hit.center();
}

void click(QWidget *widget, QPoint at)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

// A user's double click: press, release, double click, release.
void doubleClick(QWidget *widget, QPoint at)
{
    click(widget, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

class TitleBarOnPlainForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.setGeometry(100, 100, 400, 200);
        bar = new TvexTitleBar(&host);
    }

    void showHost()
    {
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }

    TvexTitleBarButton *button(TvexTitleBarBtnType type) const
    {
        for (int i = 0; i < bar->Buttons()->Count(); ++i)
            if (bar->Buttons()->Items(i)->ButtonType() == type)
                return bar->Buttons()->Items(i);
        return nullptr;
    }

    TvexTitleBar::Layout::Place placeOf(TvexTitleBarBtnType type) const
    {
        const TvexTitleBar::Layout layout = bar->ComputeLayout();
        for (const auto &place : layout.buttons)
            if (bar->Buttons()->Items(place.index)->ButtonType() == type)
                return place;
        return layout.controlBox;
    }

    Host host;
    TvexTitleBar *bar = nullptr;
};

} // namespace

TEST_F(TitleBarOnPlainForm, StartsWithTheDefaultButtonsAndTheDeepBlueLook)
{
    ASSERT_EQ(bar->Buttons()->Count(), 4);
    EXPECT_EQ(bar->Buttons()->Items(0)->ButtonType(), vexControlBox);
    EXPECT_EQ(bar->Buttons()->Items(1)->ButtonType(), vexClose);
    EXPECT_EQ(bar->Buttons()->Items(2)->ButtonType(), vexMax);
    EXPECT_EQ(bar->Buttons()->Items(3)->ButtonType(), vexMin);
    ASSERT_EQ(bar->Sections()->Count(), 3);
    EXPECT_TRUE(bar->HasAllSections());
    EXPECT_EQ(bar->Sections()->Items(0)->Width(), 97);
    EXPECT_EQ(bar->Sections()->Items(1)->Align(), vexRight);
    EXPECT_EQ(bar->Sections()->Items(2)->Align(), vexClient);
    EXPECT_TRUE(bar->Sections()->Items(2)->Stretch());
    EXPECT_EQ(bar->LeftSectionPicture().size(), QSize(97, 32));

    EXPECT_EQ(bar->UIStyle(), TvexUIStyle::DeepBlue);
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 400, 32));
    EXPECT_TRUE(bar->AutoSize());
    EXPECT_EQ(bar->ButtonTop(), 2);
    EXPECT_EQ(bar->CaptionBand(), 19);
    EXPECT_EQ(bar->FontColor(), 0xFFFFFF);
    EXPECT_EQ(host.minimumWidth(), 130);
    EXPECT_EQ(bar->Buttons()->Items(1)->PicNormal(), strip(TvexUIStyle::DeepBlue, 16));
    EXPECT_EQ(bar->SystemMenu()->UIStyle(), TvexUIStyle::DeepBlue);

    bar->setUIStyle(TvexUIStyle::MacOS);
    EXPECT_EQ(bar->Height(), 23);
    EXPECT_EQ(bar->FontColor(), 0);
    EXPECT_EQ(bar->SystemMenu()->UIStyle(), TvexUIStyle::MacOS);
    bar->setUIStyle(TvexUIStyle::BlueGlass);
    EXPECT_EQ(bar->RoundCorner(), 11);
    EXPECT_EQ(bar->RoundCornerBottom(), 0);
    EXPECT_EQ(host.minimumWidth(), 270);
    EXPECT_TRUE(bar->Buttons()->Items(1)->Transparent());
    EXPECT_EQ(bar->FontColor(), 0xFFFFFF);

    bar->setHeight(50);
    bar->setAutoSize(false);
    EXPECT_EQ(bar->Height(), 33);
    bar->Sections()->clear();
    bar->setAutoSize(true);
    EXPECT_FALSE(bar->AutoSize());
}

TEST_F(TitleBarOnPlainForm, LaysButtonsOutFromTheRightEdge)
{
    bar->setUIStyle(TvexUIStyle::MacOS);
    TvexTitleBar::Layout layout = bar->ComputeLayout();
    ASSERT_EQ(layout.buttons.size(), 3);
    EXPECT_EQ(layout.buttons[0].at, QPoint(400 - 20, 4)); // close
    EXPECT_EQ(layout.buttons[1].at, QPoint(400 - 38, 4)); // maximise
    EXPECT_EQ(layout.buttons[2].at, QPoint(400 - 56, 4)); // minimise
    EXPECT_EQ(layout.buttonsLeft, 400 - 56);
    EXPECT_EQ(layout.controlBox.at, QPoint(4, 3));
    EXPECT_EQ(layout.controlBox.hit, QRect(4, 4, 17, 17));
    EXPECT_EQ(layout.captionLeft, 26);

    bar->setButtonInterval(3);
    layout = bar->ComputeLayout();
    EXPECT_EQ(layout.buttons[0].at.x(), 400 - 23);
    EXPECT_EQ(layout.buttons[1].at.x(), 400 - 44);

    // Pushed past the right edge, buttons are pulled back inside the bar.
    bar->setButtonInterval(0);
    bar->setRightBtnXOffset(40);
    layout = bar->ComputeLayout();
    EXPECT_EQ(layout.buttons[0].at.x(), 400 - 18);
    EXPECT_EQ(layout.buttons[1].at.x(), 400 - 36);
    bar->setRightBtnXOffset(0);
    host.setMinimumWidth(0);
    host.resize(30, 200);
    platform::realign(&host);
    layout = bar->ComputeLayout();
    for (const auto &place : layout.buttons)
        EXPECT_LE(place.at.x() + 17 + 1, 30);

    // Without a control box the caption starts at LeftBtnXOffset + 1, or at
    // 6 when that leaves nothing.
    bar->Buttons()->Items(0)->setVisible(false);
    bar->setLeftBtnXOffset(0);
    EXPECT_EQ(bar->ComputeLayout().captionLeft, 1);
    bar->setLeftBtnXOffset(-4);
    EXPECT_EQ(bar->ComputeLayout().captionLeft, 6);

    // The application icon keeps the control box's hit area and takes 21 pixels.
    bar->Buttons()->Items(0)->setVisible(true);
    bar->setLeftBtnXOffset(3);
    bar->setDrawAppIcon(true);
    layout = bar->ComputeLayout();
    EXPECT_EQ(layout.controlBox.at, QPoint(7, 4));
    EXPECT_EQ(layout.controlBox.hit, QRect(4, 4, 17, 17));
    EXPECT_EQ(layout.captionLeft, 25);
}

TEST(TitleBarOnFrame, FitsTheMainWindowGeometry)
{
    titlebartest::BorderedHost host;
    host.resize(825, 476);
    auto *frame = new titlebartest::TvexForm(&host);
    frame->setGeometry(0, 0, 825, 476);
    auto *bar = new TvexTitleBar(frame);
    EXPECT_EQ(bar->UIStyle(), TvexUIStyle::DeepBlue);
    bar->setUIStyle(TvexUIStyle::MacOS);
    EXPECT_TRUE(bar->OnSkinnedFrame());
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 825, 20));
    EXPECT_EQ(bar->ButtonTop(), 1);

    TvexTitleBar::Layout layout = bar->ComputeLayout();
    EXPECT_EQ(layout.controlBox.at, QPoint(4, 0));
    EXPECT_EQ(layout.controlBox.hit, QRect(4, 1, 17, 17));
    EXPECT_EQ(layout.captionLeft, 26);
    ASSERT_EQ(layout.buttons.size(), 3);
    EXPECT_EQ(layout.buttons[0].at, QPoint(825 - 20, 1));
    EXPECT_EQ(layout.buttons[1].at, QPoint(825 - 38, 1));
    EXPECT_EQ(layout.buttons[2].at, QPoint(825 - 56, 1));

    // The pieces start 3 pixels up and left, under the frame's border.
    const QImage left = bar->LeftSectionPicture(), right = bar->RightSectionPicture();
    QImage shot = bar->Render();
    EXPECT_EQ(rgbAt(shot, 0, 0), rgbAt(left, 3, 3));
    EXPECT_EQ(rgbAt(shot, 824, 0), rgbAt(right, right.width() - 4, 3));

    // A frame with a left-border picture moves the pieces and the buttons by
    // its width; the query is made on every paint.
    host.border = 5;
    const int before = host.queries;
    shot = bar->Render();
    EXPECT_GT(host.queries, before);
    EXPECT_EQ(rgbAt(shot, 30, 0), rgbAt(left, 35, 3));
    layout = bar->ComputeLayout();
    EXPECT_EQ(layout.buttons[0].at.x(), 825 - 18); // pulled back inside
    EXPECT_EQ(layout.controlBox.at.x(), 0);
    EXPECT_EQ(layout.captionLeft, 22);
}

TEST_F(TitleBarOnPlainForm, PaintsPiecesButtonsAndAShortenedCaption)
{
    bar->setUIStyle(TvexUIStyle::MacOS);
    showHost();
    const QImage left = bar->LeftSectionPicture(), right = bar->RightSectionPicture();
    const auto close = placeOf(vexClose);
    const TvexTitleBarButton *closeButton = button(vexClose);

    QImage shot = bar->Render();
    EXPECT_EQ(rgbAt(shot, 0, 0), rgbAt(left, 0, 0));
    EXPECT_EQ(rgbAt(shot, 399, 22), rgbAt(right, 47, 22));
    EXPECT_EQ(shot.copy(QRect(close.at, QSize(17, 17))),
              closeButton->PicNormal().convertToFormat(QImage::Format_RGB32));

    // Hover and pressed looks follow the cursor at each paint.
    QTest::mouseMove(bar, centreOf(close));
    shot = bar->Render();
    EXPECT_EQ(bar->HotButton(), 1);
    EXPECT_EQ(shot.copy(QRect(close.at, QSize(17, 17))),
              closeButton->PicMouseOn().convertToFormat(QImage::Format_RGB32));
    QTest::mousePress(bar, Qt::LeftButton, {}, centreOf(close));
    shot = bar->Render();
    EXPECT_EQ(shot.copy(QRect(close.at, QSize(17, 17))),
              closeButton->PicMouseDown().convertToFormat(QImage::Format_RGB32));
    // Leaving the button before the release does nothing.
    QTest::mouseMove(bar, QPoint(200, 10));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_TRUE(host.isVisible());
    EXPECT_EQ(bar->HotButton(), -1);

    // A transparent button lets the pieces show where it has the colour of
    // its bottom-left pixel.
    bar->Buttons()->Items(1)->setTransparent(true);
    const QImage keyed = bar->Render();
    EXPECT_EQ(rgbAt(keyed, close.at.x(), close.at.y() + 16), rgbAt(right, close.at.x() - 352, close.at.y() + 16));

    bar->setCaption("Tabulon");
    bar->Render();
    EXPECT_EQ(bar->DrawnCaption(), "Tabulon");
    bar->setCaption(QString(200, 'W'));
    bar->Render();
    const QFontMetrics metrics(bar->font());
    const TvexTitleBar::Layout layout = bar->ComputeLayout();
    EXPECT_TRUE(bar->DrawnCaption().endsWith("..."));
    EXPECT_LE(metrics.horizontalAdvance(bar->DrawnCaption()), layout.buttonsLeft - layout.captionLeft);
    EXPECT_GT(metrics.horizontalAdvance(bar->DrawnCaption() + "W"), layout.buttonsLeft - layout.captionLeft);
    bar->setLeftBtnXOffset(400);
    bar->Render();
    EXPECT_EQ(bar->DrawnCaption(), "...");
}

TEST_F(TitleBarOnPlainForm, CaptionColourFollowsTheFontOrTheInactiveCaption)
{
    bar->setUIStyle(TvexUIStyle::MacOS);
    bar->setCaption("||||||||");
    bar->setFontColor(0x0000FF);
    QFont crisp = bar->font();
    crisp.setStyleStrategy(QFont::NoAntialias);
    bar->setFont(crisp);
    const TvexTitleBar::Layout layout = bar->ComputeLayout();
    const QRect caption(layout.captionLeft, 0, 60, bar->Height());
    EXPECT_TRUE(hasPixel(bar->Render(), caption, 0xFF0000));
    bar->setFormActive(false);
    const QImage inactive = bar->Render();
    EXPECT_FALSE(hasPixel(inactive, caption, 0xFF0000));
    const unsigned inactiveCaption = platform::toQRgb(platform::colorToRGB(platform::clInactiveCaption)) & 0xFFFFFF;
    EXPECT_TRUE(hasPixel(inactive, caption, inactiveCaption));
    EXPECT_EQ(bar->FontColor(), 0x0000FF);

    // Right to left, the caption ends 10 pixels before the buttons.
    bar->setFormActive(true);
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    bar->setBiDiMode(Qt::RightToLeft);
    const int width = QFontMetrics(bar->font()).horizontalAdvance("||||||||");
    const QImage mirrored = bar->Render();
    QLocale::setDefault(saved);
    const QRect between(layout.captionLeft, 0, layout.buttonsLeft - layout.captionLeft, bar->Height());
    const int bearing = firstColumnWith(bar->Render(), between, 0xFF0000) - layout.captionLeft;
    EXPECT_EQ(firstColumnWith(mirrored, between, 0xFF0000), layout.buttonsLeft - 10 - width + bearing);

    // The application's icon replaces the control box picture.
    QPixmap green(16, 16);
    green.fill(Qt::green);
    const QIcon icon = QApplication::windowIcon();
    QApplication::setWindowIcon(QIcon(green));
    bar->setDrawAppIcon(true);
    const QImage withIcon = bar->Render();
    QApplication::setWindowIcon(icon);
    EXPECT_EQ(rgbAt(withIcon, 7, 4), 0x00FF00u);
    EXPECT_EQ(rgbAt(withIcon, 22, 19), 0x00FF00u);
}

TEST_F(TitleBarOnPlainForm, CustomBarsKeepTheirLookAndThemesKeepTheCaptionColour)
{
    bar->setUIStyle(TvexUIStyle::MacOS);
    const QImage closePicture = bar->Buttons()->Items(1)->PicNormal();
    bar->setCustom(true);
    bar->setUIStyle(TvexUIStyle::WinXP);
    EXPECT_EQ(bar->UIStyle(), TvexUIStyle::WinXP);
    EXPECT_EQ(bar->Height(), 23);
    EXPECT_EQ(bar->FontColor(), 0);
    EXPECT_EQ(bar->Buttons()->Items(1)->PicNormal(), closePicture);
    EXPECT_EQ(bar->LeftSectionPicture().size(), QSize(48, 23));
    bar->setCustom(false);

    QTemporaryDir dir;
    const QString named = dir.filePath("named.theme"), dark = dir.filePath("dark.theme"),
                  light = dir.filePath("light.theme");
    ASSERT_TRUE(titlebartest::writeBytes(
        named, titlebartest::themeFileWith({{"TitleBarFontColor", 0x123456}, {"FormBottomRoundCornerInt", 7}})));
    ASSERT_TRUE(titlebartest::writeBytes(dark, titlebartest::themeFileWith({{"ControlFontColor", 0x030000}})));
    ASSERT_TRUE(titlebartest::writeBytes(light, titlebartest::themeFileWith({{"ControlFontColor", 0x020000}})));
    auto *theme = new TvexFileTheme(&host);
    theme->setThemeFile(named);
    ASSERT_TRUE(theme->Loaded());

    // Assigning a theme alone keeps the caption colour; the style applies it.
    bar->setFontColor(0x00FF00);
    bar->setFileTheme(theme);
    EXPECT_EQ(bar->FontColor(), 0x00FF00);
    bar->setUIStyle(TvexUIStyle::FromThemeFile);
    EXPECT_EQ(bar->FontColor(), 0x123456);
    EXPECT_EQ(bar->RoundCornerBottom(), 7);
    EXPECT_EQ(bar->Buttons()->Items(1)->UIStyle(), TvexUIStyle::FromThemeFile);
    EXPECT_EQ(bar->SystemMenu()->FileTheme(), theme);
    theme->setThemeFile(dark);
    bar->setUIStyle(TvexUIStyle::FromThemeFile);
    EXPECT_EQ(bar->FontColor(), 0);
    theme->setThemeFile(light);
    bar->setUIStyle(TvexUIStyle::FromThemeFile);
    EXPECT_EQ(bar->FontColor(), 0xFFFFFF);

    delete theme;
    EXPECT_EQ(bar->FileTheme(), nullptr);
    EXPECT_EQ(bar->UIStyle(), TvexUIStyle::DeepBlue);
    EXPECT_EQ(bar->Height(), 32);
}

namespace {

// Each of items, given the value that only one item may hold, shows message.
template <class Item, class Assign>
void expectEachRefused(std::initializer_list<Item *> items, Assign assign, const char *message)
{
    for (Item *item : items)
        EXPECT_EQ(titlebartest::messageShownBy([&] { assign(item); }), message);
}

} // namespace

TEST(TitleBarCollections, UniquenessRulesShowTheirMessagesAndKeepTheValue)
{
    QWidget host;
    TvexTitleBar bar(&host);
    TvexTitleBarButton *box = bar.Buttons()->Items(0);
    TvexTitleBarButton *close = bar.Buttons()->Items(1);
    expectEachRefused(
        {box, close}, [](TvexTitleBarButton *b) { b->setButtonType(vexControlBox); },
        "Sorry, only one button's ButtonType property can be \"vexControlBox\"");
    EXPECT_EQ(close->ButtonType(), vexClose);
    EXPECT_EQ(titlebartest::messageShownBy([&] { close->setButtonType(vexHelp); }), "");
    EXPECT_EQ(close->ButtonType(), vexHelp);

    TvexTitleBarSection *left = bar.Sections()->Items(0);
    TvexTitleBarSection *client = bar.Sections()->Items(2);
    expectEachRefused(
        {client, left}, [](TvexTitleBarSection *section) { section->setAlign(vexClient); },
        "Sorry, only one section's Align property can be \"vexClient\"");
    EXPECT_EQ(left->Align(), vexLeft);
    EXPECT_FALSE(left->Stretch());

    client->setStretch(false);
    EXPECT_TRUE(client->Stretch());
    left->setWidth(5);
    left->setAutoSize(false);
    EXPECT_EQ(left->Width(), 97);
    client->setAlign(vexRight);
    client->setStretch(false);
    EXPECT_FALSE(client->Stretch());
}

TEST(TitleBarCollections, KindsFramesAndAssignOrder)
{
    QWidget host;
    TvexTitleBar bar(&host);
    bar.setUIStyle(TvexUIStyle::MacOS);
    TvexTitleBarButton *added = bar.Buttons()->Add();
    EXPECT_EQ(added->ButtonType(), vexCustom);
    EXPECT_EQ(added->UIStyle(), TvexUIStyle::DeepBlue);
    EXPECT_TRUE(added->PicNormal().isNull());
    EXPECT_EQ(added->Top(), 2);
    added->setUIStyle(TvexUIStyle::MacOS);
    added->setButtonType(vexMin);
    EXPECT_EQ(added->PicNormal(), strip(TvexUIStyle::MacOS, 13));
    EXPECT_EQ(added->PicMouseOn(), strip(TvexUIStyle::MacOS, 14));
    EXPECT_EQ(added->PicMouseDown(), strip(TvexUIStyle::MacOS, 15));
    EXPECT_EQ(added->Top(), 4);
    added->setButtonType(vexHelp);
    EXPECT_EQ(added->PicNormal(), strip(TvexUIStyle::MacOS, 4));

    // A copy ends with the source's pictures and visibility, the style's
    // Transparent, and the style's Top unless the kind is vexCustom.
    TvexTitleBarButtons source(nullptr);
    TvexTitleBarButton *custom = source.Add();
    QImage red(17, 17, QImage::Format_RGB32);
    red.fill(Qt::red);
    custom->setUIStyle(TvexUIStyle::WinXP);
    custom->setTop(9);
    custom->setTransparent(true);
    custom->setVisible(false);
    custom->setPicNormal(red);
    TvexTitleBarButton *minimise = source.Add();
    minimise->setButtonType(vexMin);
    minimise->setTop(9);
    minimise->setPicMouseOn(red);

    bar.setButtons(&source);
    ASSERT_EQ(bar.Buttons()->Count(), 2);
    const TvexTitleBarButton *copy = bar.Buttons()->Items(0);
    EXPECT_EQ(copy->PicNormal(), red);
    EXPECT_FALSE(copy->Visible());
    EXPECT_FALSE(copy->Transparent());
    EXPECT_EQ(copy->Top(), 9);
    EXPECT_EQ(copy->UIStyle(), TvexUIStyle::WinXP);
    EXPECT_EQ(bar.Buttons()->Items(1)->Top(), 2);
    EXPECT_EQ(bar.Buttons()->Items(1)->PicMouseOn(), red);
    EXPECT_EQ(bar.Buttons()->Items(1)->PicNormal(), strip(TvexUIStyle::DeepBlue, 13));

    TvexTitleBarSections sections(nullptr);
    TvexTitleBarSection *piece = sections.Add();
    piece->setAutoSize(true);
    piece->setPicture(red);
    piece->setAlign(vexClient);
    bar.setSections(&sections);
    ASSERT_EQ(bar.Sections()->Count(), 1);
    EXPECT_EQ(bar.Sections()->Items(0)->Width(), 17);
    EXPECT_TRUE(bar.Sections()->Items(0)->Stretch());
    EXPECT_FALSE(bar.HasAllSections());
}

TEST_F(TitleBarOnPlainForm, ButtonsActOnARealWindow)
{
    bar->setUIStyle(TvexUIStyle::MacOS);
    showHost();
    const QRect normal = host.geometry();
    TvexTitleBarButton *max = button(vexMax);

    click(bar, centreOf(placeOf(vexMax)));
    EXPECT_TRUE(host.isMaximized());
    EXPECT_EQ(max->PicNormal(), strip(TvexUIStyle::MacOS, 10));
    EXPECT_EQ(max->PicMouseDown(), strip(TvexUIStyle::MacOS, 12));
    click(bar, centreOf(placeOf(vexMax)));
    EXPECT_FALSE(host.isMaximized());
    EXPECT_EQ(host.geometry(), normal);
    EXPECT_EQ(max->PicNormal(), strip(TvexUIStyle::MacOS, 7));

    // A Custom bar keeps the maximise pictures in both states.
    bar->setCustom(true);
    click(bar, centreOf(placeOf(vexMax)));
    EXPECT_TRUE(host.isMaximized());
    EXPECT_EQ(max->PicNormal(), strip(TvexUIStyle::MacOS, 7));
    click(bar, centreOf(placeOf(vexMax)));
    bar->setCustom(false);

    // Help and custom buttons change no window state; the bar raises events.
    TvexTitleBarButton *help = bar->Buttons()->Add();
    help->setButtonType(vexHelp);
    TvexTitleBarButton *custom = bar->Buttons()->Add();
    custom->setPicNormal(strip(TvexUIStyle::MacOS, 4));
    QSignalSpy helpSpy(bar, &TvexTitleBar::OnHelpBtnClick), customSpy(bar, &TvexTitleBar::OnCustomBtnsClick);
    click(bar, centreOf(placeOf(vexHelp)));
    click(bar, centreOf(placeOf(vexCustom)));
    ASSERT_EQ(helpSpy.size(), 1);
    EXPECT_EQ(helpSpy[0][0].value<QObject *>(), bar);
    EXPECT_EQ(helpSpy[0][1].toInt(), 4);
    ASSERT_EQ(customSpy.size(), 1);
    EXPECT_EQ(customSpy[0][1].toInt(), 5);
    EXPECT_FALSE(host.isMaximized() || host.isMinimized() || host.isHidden());

    // The control box pops the window menu at the bar's bottom-left corner.
    click(bar, centreOf(placeOf(vexControlBox)));
    EXPECT_TRUE(bar->SystemMenu()->isVisible());
    EXPECT_EQ(bar->SystemMenu()->pos(), bar->mapToGlobal(QPoint(0, bar->Height())));
    bar->SystemMenu()->hide();
    TvexPopupMenu own(&host);
    own.addAction("Own");
    button(vexControlBox)->setControlBoxMenu(&own);
    click(bar, centreOf(placeOf(vexControlBox)));
    EXPECT_FALSE(bar->SystemMenu()->isVisible());
    EXPECT_TRUE(own.isVisible());
    own.hide();

    click(bar, centreOf(placeOf(vexMin)));
    EXPECT_TRUE(host.isMinimized());
    host.showNormal();

    host.refuse = true;
    click(bar, centreOf(placeOf(vexClose)));
    EXPECT_EQ(host.closeQueries, 1);
    EXPECT_TRUE(host.isVisible());
    host.refuse = false;
    click(bar, centreOf(placeOf(vexClose)));
    EXPECT_FALSE(host.isVisible());
}

TEST_F(TitleBarOnPlainForm, DoubleClicksAndDragging)
{
    bar->setUIStyle(TvexUIStyle::MacOS);
    showHost();
    const QPoint empty(200, 10);

    // Offscreen moves no window itself: the bar follows the mouse.
    const QPoint start = host.pos();
    QTest::mousePress(bar, Qt::LeftButton, {}, empty);
    QTest::mouseMove(bar, empty + QPoint(30, 20));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, empty + QPoint(30, 20));
    EXPECT_EQ(host.pos(), start + QPoint(30, 20));

    doubleClick(bar, empty);
    EXPECT_TRUE(host.isMaximized());
    // A maximised window is not dragged; a release over a button after a
    // press elsewhere clicks nothing, as with any push button.
    const QPoint maximised = host.pos();
    QTest::mousePress(bar, Qt::LeftButton, {}, empty);
    QTest::mouseMove(bar, centreOf(placeOf(vexMax)));
    EXPECT_EQ(host.pos(), maximised);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, centreOf(placeOf(vexMax)));
    EXPECT_TRUE(host.isMaximized());
    QTest::mouseClick(bar, Qt::LeftButton, {}, centreOf(placeOf(vexMax)));
    EXPECT_FALSE(host.isMaximized());

    for (int i = 0; i < bar->Buttons()->Count(); ++i)
        if (bar->Buttons()->Items(i)->ButtonType() == vexMax)
            bar->Buttons()->Items(i)->setVisible(false);
    doubleClick(bar, empty);
    EXPECT_FALSE(host.isMaximized());

    doubleClick(bar, centreOf(placeOf(vexControlBox)));
    EXPECT_FALSE(host.isVisible());
    EXPECT_FALSE(bar->SystemMenu()->isVisible());
}

TEST_F(TitleBarOnPlainForm, WindowMenuFollowsTheVisibleButtons)
{
    bar->setUIStyle(TvexUIStyle::MacOS);
    showHost();
    TvexTitleBarPopupMenu *menu = bar->SystemMenu();
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions()[0]->text(), "Mi&nimize");
    EXPECT_EQ(menu->actions()[1]->text(), "Ma&ximize/Restore");
    EXPECT_EQ(menu->actions()[2]->text(), "-");
    EXPECT_TRUE(menu->actions()[2]->isSeparator());
    EXPECT_EQ(menu->actions()[3]->text(), "&Close");

    menu->Popup(100, 100);
    EXPECT_EQ(menu->pos(), QPoint(100, 100));
    EXPECT_TRUE(menu->MinimizeItem()->isEnabled());
    EXPECT_TRUE(menu->MaximizeItem()->isEnabled());
    EXPECT_TRUE(menu->CloseItem()->isEnabled());
    menu->hide();

    button(vexMin)->setVisible(false);
    button(vexMax)->setButtonType(vexHelp);
    menu->Popup(100, 100);
    EXPECT_FALSE(menu->MinimizeItem()->isEnabled());
    EXPECT_FALSE(menu->MaximizeItem()->isEnabled());
    EXPECT_TRUE(menu->CloseItem()->isEnabled());
    menu->hide();
    button(vexClose)->setVisible(false);
    menu->Popup(100, 100);
    EXPECT_FALSE(menu->CloseItem()->isEnabled());
    menu->hide();

    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Hebrew, QLocale::Israel));
    bar->setBiDiMode(Qt::RightToLeft);
    menu->Popup(100, 100);
    EXPECT_EQ(menu->pos(), QPoint(276, 100));
    menu->hide();
    QLocale::setDefault(saved);
}

TEST_F(TitleBarOnPlainForm, WindowMenuCommands)
{
    bar->setUIStyle(TvexUIStyle::MacOS);
    showHost();
    TvexTitleBarPopupMenu *menu = bar->SystemMenu();
    menu->MaximizeItem()->trigger();
    EXPECT_TRUE(host.isMaximized());
    menu->MaximizeItem()->trigger();
    EXPECT_FALSE(host.isMaximized());
    EXPECT_EQ(button(vexMax)->PicNormal(), strip(TvexUIStyle::MacOS, 7));

    // Every visible maximise button is clicked: two of them toggle twice.
    bar->Buttons()->Add()->setButtonType(vexMax);
    menu->MaximizeItem()->trigger();
    EXPECT_FALSE(host.isMaximized());

    menu->MinimizeItem()->trigger();
    EXPECT_TRUE(host.isMinimized());
    host.showNormal();
    menu->CloseItem()->trigger();
    EXPECT_FALSE(host.isVisible());
}

TEST(TitleBarLoading, StoredButtonsReplaceTheDefaultsAndKeepTheirPictures)
{
    QTemporaryDir dir;
    QImage stored(17, 17, QImage::Format_RGB32);
    stored.fill(Qt::green);
    ASSERT_TRUE(stored.save(dir.filePath("close.bmp")));
    platform::FormLoader loader;
    loader.registerClass<TvexTitleBar>("TvexTitleBar");
    QWidget root;
    loader.loadFromText(&root, R"(
        object Form : QWidget {
            object Bar : TvexTitleBar {
                UIStyle = MacOS
                Buttons = [
                    item { UIStyle = MacOS  ButtonType = vexClose  Top = 4  Visible = true
                           PicNormal = picture("close.bmp") }
                ]
                Sections = [
                    item { AutoSize = true  Width = 48  Align = vexLeft  Stretch = false }
                ]
            }
        })",
                        dir.path());
    auto *bar = root.findChild<TvexTitleBar *>("Bar");
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->Buttons()->Count(), 1);
    const TvexTitleBarButton *close = bar->Buttons()->Items(0);
    EXPECT_EQ(close->ButtonType(), vexClose);
    EXPECT_EQ(close->PicNormal().pixel(0, 0), stored.pixel(0, 0));
    EXPECT_EQ(close->PicMouseOn(), strip(TvexUIStyle::MacOS, 17));
    ASSERT_EQ(bar->Sections()->Count(), 1);
    EXPECT_EQ(bar->Sections()->Items(0)->Width(), 48);
}

// Moving and maximising need a real window system: run under Xvfb, in a
// child process of this test program.
TEST(TitleBarOnX11, MovesMaximisesAndRestoresARealWindow)
{
    if (qEnvironmentVariableIsSet("TABULON_TITLEBAR_X11")) {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        Host host;
        host.setGeometry(100, 100, 400, 200);
        auto *bar = new TvexTitleBar(&host);
        bar->setUIStyle(TvexUIStyle::MacOS);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        const QRect normal = host.geometry();

        const QPoint empty(200, 10);
        QTest::mousePress(bar, Qt::LeftButton, {}, empty);
        QTest::mouseMove(bar, empty + QPoint(40, 30));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, empty + QPoint(40, 30));
        EXPECT_TRUE(QTest::qWaitFor([&] { return host.geometry().topLeft() == normal.topLeft() + QPoint(40, 30); }));
        const QRect moved = host.geometry();

        const TvexTitleBar::Layout layout = bar->ComputeLayout();
        const QPoint max = layout.buttons[1].hit.center();
        click(bar, max);
        EXPECT_TRUE(host.isMaximized());
        EXPECT_TRUE(QTest::qWaitFor([&] { return host.geometry() == GetWorkArea().adjusted(-4, -4, 4, -1); }))
            << host.geometry().x() << "," << host.geometry().y() << " " << host.width() << "x" << host.height();
        click(bar, bar->ComputeLayout().buttons[1].hit.center());
        EXPECT_FALSE(host.isMaximized());
        EXPECT_TRUE(QTest::qWaitFor([&] { return host.geometry() == moved; }));
        return;
    }
    QProcessEnvironment env;
    env.insert("TABULON_TITLEBAR_X11", "1");
    const testsupport::ChildTestRun run = testsupport::runThisProgramOnXvfb("TitleBarOnX11.*", env, 120000);
    if (run.error == "xvfb-run is not installed")
        GTEST_SKIP() << run.error.toStdString();
    EXPECT_TRUE(run.passed()) << run.error.toStdString() << "\n"
                              << run.failures.join('\n').toStdString() << "\n"
                              << run.output.toStdString();
    EXPECT_EQ(run.tests, testsupport::registeredCases("TitleBarOnX11")) << "every case ran, none was skipped";
}
