// Every caption the skins draw must stand out from what it is drawn on: the
// WCAG contrast ratio of the caption colour (from the theme's values or the
// control's font) against the face behind it (the median colour of the
// pixels in the caption's box, read from the control painted without its
// caption) must reach 4.5 : 1.

#include "ControlTestKit.h"
#include "MenuLookTestSupport.h"

#include "platform/gui/Colors.h"
#include "skin/VEXButton.h"
#include "skin/VEXForm.h"
#include "skin/VEXMgr.h"
#include "skin/VEXThemes.h"
#include "skin/VEXTitleBar.h"

#include <QMetaEnum>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace vex;

namespace {

constexpr double Required = 4.5;

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(QColor c)
{
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

double contrast(QColor a, QColor b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The pixel of median luminance in box, key-coloured pixels left out.
QColor medianColor(const QImage &image, QRect box)
{
    std::vector<QRgb> pixels;
    box = box.intersected(image.rect());
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const QRgb c = image.pixel(x, y) & 0xFFFFFF;
            if (c != 0xFF00FF)
                pixels.push_back(c);
        }
    if (pixels.empty())
        return QColor();
    std::sort(pixels.begin(), pixels.end(), [](QRgb a, QRgb b) { return luminance(QColor(a)) < luminance(QColor(b)); });
    return QColor(pixels[pixels.size() / 2]);
}

// The box of the pixels in which two paintings differ: where the caption went.
QRect differingBox(const QImage &blank, const QImage &captioned)
{
    QRect box;
    const int w = std::min(blank.width(), captioned.width()), h = std::min(blank.height(), captioned.height());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (blank.pixel(x, y) != captioned.pixel(x, y))
                box |= QRect(x, y, 1, 1);
    return box;
}

QString hexOf(QColor c)
{
    return c.isValid() ? c.name() : QStringLiteral("(none)");
}

// One caption against its face; collected so that a failure names them all.
struct Pairing
{
    QString what;
    QColor caption;
    QColor face;
};

void expectReadable(const std::vector<Pairing> &pairings)
{
    ASSERT_FALSE(pairings.empty());
    for (const Pairing &p : pairings) {
        ASSERT_TRUE(p.caption.isValid() && p.face.isValid()) << qPrintable(p.what) << ": nothing measured";
        const double ratio = contrast(p.caption, p.face);
        EXPECT_GE(ratio, Required) << qPrintable(p.what) << ": caption " << qPrintable(hexOf(p.caption)) << " on "
                                   << qPrintable(hexOf(p.face)) << " is " << ratio << " : 1";
    }
}

// A skinned window of one style, or of the sample theme, with one control of
// each kind on its frame, as the program and the gallery place them.
class Scene
{
public:
    explicit Scene(TvexUIStyle style) : m_style(style)
    {
        m_host.setGeometry(100, 80, 360, 240);
        m_host.setFont(controltest::FlatForm::crispFont());
        if (style == TvexUIStyle::FromThemeFile) {
            m_theme = new TvexFileTheme(&m_host);
            m_theme->setThemeFile(QStringLiteral("Graphite.theme"));
        }
        m_frame = new TvexForm(&m_host);
        m_frame->setUIStyleAutoUpdateSub(true);
        if (m_theme)
            m_frame->setFileTheme(m_theme);
        m_frame->setUIStyle(style);
    }

    QString name() const
    {
        return m_theme ? QStringLiteral("Graphite")
                       : QString::fromLatin1(QMetaEnum::fromType<TvexUIStyle>().valueToKey(int(m_style)));
    }
    bool themed() const { return m_theme && m_theme->Loaded(); }

    QColor color(int element) const
    {
        return platform::toQColor(themed() ? m_theme->GetColor(element) : GetBuiltInColor(m_style, element));
    }
    QImage picture(int element) const
    {
        QImage image;
        if (themed())
            m_theme->GetImage(element, &image);
        else
            GetBuiltInBitmap(m_style, element, &image);
        return image.convertToFormat(QImage::Format_RGB32);
    }

    template <class Control>
    Control *place(QRect at)
    {
        auto *control = new Control(m_frame);
        control->setFileTheme(m_theme);
        control->setUIStyle(m_style);
        control->setGeometry(at);
        return control;
    }

    bool show()
    {
        m_host.show();
        return QTest::qWaitForWindowExposed(&m_host);
    }

    // The face behind a caption: the control painted with an empty caption,
    // in the box that the caption covers once it is set.
    template <class Control>
    QColor faceBehindCaption(Control *control, const QString &caption)
    {
        control->setCaption(QString());
        const QImage blank = controltest::grabImage(control);
        control->setCaption(caption);
        const QImage captioned = controltest::grabImage(control);
        return medianColor(blank, differingBox(blank, captioned));
    }

    TvexForm *frame() const { return m_frame; }

private:
    TvexUIStyle m_style;
    QWidget m_host;
    TvexFileTheme *m_theme = nullptr;
    TvexForm *m_frame = nullptr;
};

class ArtContrast : public ::testing::TestWithParam<TvexUIStyle>
{};

QColor fontColorOf(const QWidget *control)
{
    return control->palette().color(QPalette::WindowText);
}

} // namespace

TEST_P(ArtContrast, SampleThemeLoads)
{
    Scene scene(GetParam());
    EXPECT_EQ(scene.themed(), GetParam() == TvexUIStyle::FromThemeFile);
}

TEST_P(ArtContrast, PushButtonCaptionsInEveryState)
{
    Scene scene(GetParam());
    auto *button = scene.place<TvexButton>(QRect(20, 60, 90, scene.picture(ButtonImage).height()));
    ASSERT_TRUE(scene.show());
    const QString caption = QStringLiteral("Begin");
    std::vector<Pairing> pairings;
    pairings.push_back({scene.name() + " button", fontColorOf(button), scene.faceBehindCaption(button, caption)});

    // Hot and pressed faces from the strip itself: the caption's rows, in the
    // middle third of each frame, where the stretched centre comes from.
    const QImage strip = scene.picture(ButtonImage);
    const int fw = strip.width() / 3, th = QFontMetrics(button->font()).height();
    const QRect rows(fw / 3, (strip.height() - th) / 2, fw / 3, th);
    const char *states[] = {"normal", "hot", "pressed"};
    for (int f = 0; f < 3; ++f)
        pairings.push_back({scene.name() + " button picture, " + states[f], fontColorOf(button),
                            medianColor(strip, rows.translated(fw * f, 0))});
    expectReadable(pairings);
}

TEST_P(ArtContrast, CheckBoxAndRadioCaptions)
{
    Scene scene(GetParam());
    auto *check = scene.place<TvexCheckBox>(QRect(20, 100, 120, 21));
    auto *radio = scene.place<TvexRadioButton>(QRect(20, 130, 120, 21));
    check->setTransparent(true);
    radio->setTransparent(true);
    ASSERT_TRUE(scene.show());
    expectReadable({{scene.name() + " check box", fontColorOf(check), scene.faceBehindCaption(check, "Checked")},
                    {scene.name() + " radio button", fontColorOf(radio), scene.faceBehindCaption(radio, "Radio")}});
}

TEST_P(ArtContrast, TitleBarCaptionWhenActive)
{
    Scene scene(GetParam());
    ASSERT_TRUE(scene.show());
    TvexTitleBar *bar = scene.frame()->TitleBar();
    ASSERT_NE(bar, nullptr);
    bar->setFormActive(true);
    expectReadable({{scene.name() + " title bar", platform::toQColor(bar->FontColor()),
                     scene.faceBehindCaption(bar, QStringLiteral("Tabulon - Workbooks"))}});
}

TEST_P(ArtContrast, MenuCaptions)
{
    Scene scene(GetParam());
    std::vector<Pairing> pairings;
    const QColor font = scene.color(MenuFontColor), selectedFont = scene.color(MenuSelectedFontColor);
    if (GetParam() == TvexUIStyle::MacOS) {
        // Items and the bar are drawn from pictures; text sits 4 pixels down.
        const QImage bar = LoadSkinBitmap(QStringLiteral("MACOS_MENU_BAR")).convertToFormat(QImage::Format_RGB32);
        const QImage select = LoadSkinBitmap(QStringLiteral("MACOS_MENU_SELECT")).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(bar.isNull());
        ASSERT_FALSE(select.isNull());
        pairings.push_back({"MacOS menu item", font, medianColor(bar, QRect(0, 4, 1, 13))});
        pairings.push_back({"MacOS menu bar", font, medianColor(bar, QRect(0, 4, 1, 13))});
        pairings.push_back({"MacOS highlighted item", selectedFont, medianColor(select, QRect(0, 4, 1, 13))});
    } else {
        pairings.push_back({scene.name() + " menu item", font, scene.color(MenuBackgroundColor)});
        pairings.push_back(
            {scene.name() + " highlighted item", selectedFont, scene.color(MenuSelectedBackgroundColor)});
        const bool lightOnBar = scene.themed() && scene.color(ControlFontColor) == platform::toQColor(0x030000);
        // The frame colours its menu bar from the theme's menu-bar colour, or
        // with its own background in a built-in style.
        const QColor barColor = scene.themed() ? scene.color(MenuMenuBarColor) : scene.color(FormBackgroundColor);
        pairings.push_back({scene.name() + " menu bar", lightOnBar ? QColor(Qt::white) : font, barColor});
    }
    expectReadable(pairings);
}

// The check mark of a checked item without an image, on the strip and on
// the highlight: its ink (the pixels the mark adds to the item drawn
// unchecked) against the face there.
TEST_P(ArtContrast, MenuCheckMarks)
{
    Scene scene(GetParam());
    QWidget owner;
    TvexMenuLook look(&owner);
    if (scene.themed())
        look.setFileTheme(scene.frame()->FileTheme());
    look.ApplyStyle(GetParam());
    const QSize size(160, look.MenuItemHeight());
    TvexMenuItem item = menulooktest::menuItem(QStringLiteral("Checked"));
    std::vector<Pairing> pairings;
    for (bool highlighted : {false, true}) {
        item.checked = false;
        const QImage plain = menulooktest::drawItem(look, item, size, highlighted);
        item.checked = true;
        const QImage checked = menulooktest::drawItem(look, item, size, highlighted);
        const QRect box = differingBox(plain, checked);
        ASSERT_FALSE(box.isEmpty()) << "no mark drawn";
        // The mark's own colour: the changed pixel farthest from the face.
        const QColor face = medianColor(plain, box);
        QColor ink = face;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                if (contrast(QColor(checked.pixel(x, y)), face) > contrast(ink, face))
                    ink = QColor(checked.pixel(x, y));
        pairings.push_back({scene.name() + (highlighted ? " check mark, highlighted" : " check mark"), ink, face});
    }
    expectReadable(pairings);
}

INSTANTIATE_TEST_SUITE_P(EveryStyle, ArtContrast,
                         ::testing::Values(TvexUIStyle::MacOS, TvexUIStyle::WinXP, TvexUIStyle::DeepBlue,
                                           TvexUIStyle::Protein, TvexUIStyle::BlueGlass, TvexUIStyle::FromThemeFile),
                         [](const ::testing::TestParamInfo<TvexUIStyle> &info) {
                             return info.param == TvexUIStyle::FromThemeFile
                                        ? std::string("Graphite")
                                        : std::string(QMetaEnum::fromType<TvexUIStyle>().valueToKey(int(info.param)));
                         });
