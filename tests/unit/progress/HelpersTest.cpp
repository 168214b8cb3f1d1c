#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/TextImage.h"
#include "Common/CircularProgress/ViewHelpers.h"
#include "ProgressTestSupport.h"

#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

using namespace progresstest;

TEST(ColorHelpers, AdjustmentScalesEachComponent)
{
    const QColor base = QColor::fromHsvF(0.6f, 0.8f, 0.9f, 1.0f);
    const QColor same = ColorHelpers::adjusted(base);
    EXPECT_NEAR(same.hsvHueF(), 0.6, 0.002);
    EXPECT_NEAR(same.hsvSaturationF(), 0.8, 0.002);
    EXPECT_NEAR(same.valueF(), 0.9, 0.002);

    const QColor dimmed = ColorHelpers::adjusted(base, 0, -0.4, -0.2);
    EXPECT_NEAR(dimmed.hsvSaturationF(), 0.48, 0.002);
    EXPECT_NEAR(dimmed.valueF(), 0.72, 0.002);
    EXPECT_NEAR(dimmed.hsvHueF(), 0.6, 0.002);

    const QColor cleared = ColorHelpers::adjusted(base, 0, -1, 0, -1);
    EXPECT_EQ(cleared.hsvSaturation(), 0);
    EXPECT_EQ(cleared.alpha(), 0);
    const QColor grey = ColorHelpers::adjusted(QColor(128, 128, 128), 0.5, 0, 0.5);
    EXPECT_EQ(grey.red(), grey.blue()) << "a grey stays grey";
}

TEST(ColorHelpers, DefaultColourIsARealColour)
{
    const QColor color = ColorHelpers::sharedDefaultColor();
    EXPECT_EQ(color, ColorHelpers::sharedDefaultColor());
    EXPECT_GE(color.hsvSaturationF(), 0.2);
    const QColor blue = ColorHelpers::fallbackBlue();
    EXPECT_NEAR(blue.redF(), 0.1, 0.002);
    EXPECT_NEAR(blue.greenF(), 0.47, 0.002);
    EXPECT_NEAR(blue.blueF(), 0.98, 0.002);
}

TEST(AnimationHelpers, TimingCurvesAreTheirBeziers)
{
    for (const QEasingCurve &curve : {AnimationHelpers::easeOutTiming(), AnimationHelpers::defaultTiming()}) {
        EXPECT_DOUBLE_EQ(curve.valueForProgress(0), 0.0);
        EXPECT_DOUBLE_EQ(curve.valueForProgress(1), 1.0);
        double last = 0;
        for (int i = 1; i <= 20; ++i) {
            const double v = curve.valueForProgress(i / 20.0);
            EXPECT_GE(v, last - 1e-9);
            last = v;
        }
    }
    // Ease-out (0, 0, 0.58, 1) at half time is 0.684 of the way, the default curve 0.802.
    EXPECT_NEAR(AnimationHelpers::easeOutTiming().valueForProgress(0.5), 0.684, 0.002);
    EXPECT_NEAR(AnimationHelpers::defaultTiming().valueForProgress(0.5), 0.802, 0.003);
}

TEST(AnimationHelpers, ColourTransitionsStartFromTheColourShownAndSkipTheColourAlreadyThere)
{
    ManualAnimationDriver clock;
    QWidget view;
    QVariantAnimation *transition = AnimationHelpers::colorTransition(&view, Qt::black);
    auto shown = [&] { return transition->currentValue().value<QColor>(); };
    EXPECT_EQ(shown(), QColor(Qt::black));

    AnimationHelpers::animateColor(*transition, Qt::black, 0.2);
    EXPECT_NE(transition->state(), QAbstractAnimation::Running) << "already there";

    AnimationHelpers::animateColor(*transition, Qt::red, 0.2);
    clock.advance(0.1);
    const QColor midway = shown();
    EXPECT_NEAR(midway.red(), 128, 3) << "an even pace";
    AnimationHelpers::animateColor(*transition, Qt::red, 0.2);
    clock.advance(0.05);
    EXPECT_GT(shown().red(), midway.red()) << "heading there: goes on";

    // A second target replaces the first, from where the colour stands, and is held once reached.
    const QColor from = shown();
    AnimationHelpers::animateColor(*transition, Qt::blue, 0.2);
    EXPECT_TRUE(sameRgb(shown(), from)) << "no jump";
    settle(clock, 0.3);
    EXPECT_EQ(shown(), QColor(Qt::blue));
    EXPECT_NE(transition->state(), QAbstractAnimation::Running);
}

TEST(TextImage, SizesAndDrawsTheTextAtTheDevicesDensity)
{
    TextImage text;
    text.setString(QStringLiteral("50%"));
    text.setFont(ViewHelpers::labelFont(), 40);
    EXPECT_EQ(text.font().pixelSize(), 40);
    const QSizeF size = text.preferredSize();
    EXPECT_GT(size.width(), 40);
    EXPECT_GT(size.height(), 40);
    text.setFrame(QRectF(0, 10, 200, std::ceil(size.height())));

    auto draw = [&](double scale) {
        QImage image(QSize(200, 80) * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        text.paint(painter, Qt::black);
        return image;
    };
    const QImage once = draw(1.0);
    EXPECT_EQ(draw(1.0), once) << "a copy of the kept image";
    EXPECT_EQ(opaquePixelsIn(once, QRect(0, 0, 200, 10), 1), 0) << "nothing above the frame";
    EXPECT_GT(opaquePixelsIn(once, QRect(60, 10, 80, 50)), 40) << "centred";
    // At 2× the glyphs are drawn again at that density, as text drawn straight onto the device would be,
    // not as a scaled copy.
    QImage direct(QSize(400, 160), QImage::Format_ARGB32_Premultiplied);
    direct.setDevicePixelRatio(2.0);
    direct.fill(Qt::transparent);
    {
        QPainter painter(&direct);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        painter.setFont(text.font());
        painter.setPen(Qt::black);
        painter.drawText(text.frame(), Qt::AlignHCenter | Qt::AlignTop, text.string());
    }
    const QImage sharp = draw(2.0);
    int differing = 0;
    for (int y = 0; y < sharp.height(); ++y)
        for (int x = 0; x < sharp.width(); ++x)
            differing += std::abs(qAlpha(sharp.pixel(x, y)) - qAlpha(direct.pixel(x, y))) > 8 ? 1 : 0;
    EXPECT_LT(differing, 20);

    text.setHidden(true);
    EXPECT_EQ(opaquePixelsIn(draw(1.0), QRect(0, 0, 200, 80), 1), 0);
}

TEST(ViewHelpers, OpacityMultipliesDownFromTheWindow)
{
    QWidget window;
    auto *child = new QWidget(&window);
    EXPECT_DOUBLE_EQ(ViewHelpers::opacity(child), 1.0);
    window.setProperty("alphaValue", 0.5);
    child->setProperty("alphaValue", 0.6);
    EXPECT_DOUBLE_EQ(ViewHelpers::opacity(child), 0.3);
}

TEST(ViewHelpers, FadeInShowsFromTheMainQueueAndEndsAtRest)
{
    ManualAnimationDriver clock;
    QWidget view;
    bool done = false;
    ViewHelpers::fadeIn(&view, 1.0, 0.0, [&] { done = true; });
    EXPECT_TRUE(view.isHidden());
    drain();
    EXPECT_FALSE(view.isHidden());
    ASSERT_NE(view.graphicsEffect(), nullptr);
    settle(clock, 1.1);
    EXPECT_TRUE(done);
    EXPECT_EQ(view.graphicsEffect(), nullptr);

    // Cancelled before it began, it shows nothing.
    done = false;
    ViewHelpers::fadeIn(&view, 1.0, 0.0, [&] { done = true; });
    ViewHelpers::cancelFadeIn(&view);
    settle(clock, 1.1);
    EXPECT_TRUE(view.isHidden());
    EXPECT_FALSE(done);
}
