#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/GeometryHelpers.h"
#include "Common/CircularProgress/LayerHelpers.h"
#include "Common/CircularProgress/TrackingArea.h"
#include "Common/CircularProgress/ViewHelpers.h"
#include "Platform/Layers/PathTrim.h"
#include "Platform/Layers/TimingFunction.h"

#include <QWidget>
#include <gtest/gtest.h>
#include <numbers>

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

TEST(GeometryHelpers, CentringRoundingAndArcs)
{
    EXPECT_EQ(GeometryHelpers::centeredRect(QRectF(100, 100, 30, 20), QSizeF(10, 10)), QRectF(10, 5, 10, 10));
    EXPECT_EQ(GeometryHelpers::rounded(QPointF(2.5, -2.5)), QPointF(3, -3));
    EXPECT_EQ(GeometryHelpers::rounded(QPointF(2.5, -2.5), GeometryHelpers::Rounding::ToNearestOrEven),
              QPointF(2, -2));

    // From the top, clockwise, once round: the first quarter ends on the right.
    const QPainterPath ring = GeometryHelpers::arc(QPointF(0, 0), 10, 90, -270, true);
    EXPECT_NEAR(ring.elementAt(0).x, 0.0, 1e-9);
    EXPECT_NEAR(ring.elementAt(0).y, 10.0, 1e-9);
    EXPECT_NEAR(ring.elementAt(3).x, 10.0, 1e-9);
    EXPECT_NEAR(ring.elementAt(3).y, 0.0, 1e-9);
    EXPECT_NEAR(platform::PathTrim::length(ring), 2 * std::numbers::pi * 10, 0.01);
    const QPainterPath half = platform::PathTrim::trimmed(ring, 0.0, 0.5);
    EXPECT_NEAR(platform::PathTrim::length(half), std::numbers::pi * 10, 0.01);
    const QPointF end = half.currentPosition();
    EXPECT_NEAR(end.x(), 0.0, 0.05);
    EXPECT_NEAR(end.y(), -10.0, 0.05);
    EXPECT_TRUE(platform::PathTrim::trimmed(ring, 0.4, 0.4).isEmpty());

    // 270° to 360° counter-clockwise: bottom to right.
    const QPainterPath quarter = GeometryHelpers::arc(QPointF(0, 0), 10, 270, 360, false);
    EXPECT_NEAR(quarter.elementAt(0).y, -10.0, 1e-9);
    EXPECT_NEAR(quarter.currentPosition().x(), 10.0, 1e-9);
    EXPECT_NEAR(platform::PathTrim::length(quarter), std::numbers::pi * 5, 0.01);
}

TEST(LayerHelpers, TextLayersAreQuietAndUncoloredByDefault)
{
    auto plain = LayerHelpers::textLayer(QStringLiteral("x"));
    EXPECT_FALSE(plain->foregroundColor().isValid());
    EXPECT_DOUBLE_EQ(plain->fontSize(), 36.0);
    EXPECT_TRUE(plain->actions().contains(QStringLiteral("contents")));
    EXPECT_EQ(plain->actions().value(QStringLiteral("contents")), nullptr);
    auto sized = LayerHelpers::textLayer(QStringLiteral("x"), 12.0, Qt::red);
    EXPECT_DOUBLE_EQ(sized->fontSize(), 12.0);
    EXPECT_EQ(sized->foregroundColor(), QColor(Qt::red));
    LayerHelpers::setTextLayerColor(sized, QColor());
    EXPECT_FALSE(sized->foregroundColor().isValid());
}

TEST(TimingFunction, NamedCurvesKeepTheirEndsAndShapes)
{
    using platform::TimingFunction;
    for (auto name :
         {TimingFunction::Name::Linear, TimingFunction::Name::EaseIn, TimingFunction::Name::EaseOut,
          TimingFunction::Name::EaseInEaseOut, TimingFunction::Name::Default}) {
        const TimingFunction f = TimingFunction::named(name);
        EXPECT_DOUBLE_EQ(f.valueAt(0), 0.0);
        EXPECT_DOUBLE_EQ(f.valueAt(1), 1.0);
        double last = 0;
        for (int i = 1; i <= 20; ++i) {
            const double v = f.valueAt(i / 20.0);
            EXPECT_GE(v, last - 1e-9);
            last = v;
        }
    }
    EXPECT_NEAR(TimingFunction::named(TimingFunction::Name::EaseOut).valueAt(0.5), 0.684, 0.002);
    EXPECT_NEAR(TimingFunction::named(TimingFunction::Name::EaseIn).valueAt(0.5), 0.316, 0.002);
    EXPECT_NEAR(TimingFunction::named(TimingFunction::Name::EaseInEaseOut).valueAt(0.5), 0.5, 1e-6);

    // The same curve as the Bézier itself (Qt solves it to within 3e-4, a twentieth of a pixel on the ring):
    // walk it by its parameter and compare at each x reached.
    for (auto name : {TimingFunction::Name::EaseIn, TimingFunction::Name::EaseOut,
                      TimingFunction::Name::EaseInEaseOut, TimingFunction::Name::Default}) {
        const TimingFunction f = TimingFunction::named(name);
        const QPointF p1 = f.controlPoint1(), p2 = f.controlPoint2();
        for (int i = 1; i < 200; ++i) {
            const double t = i / 200.0, u = 1 - t;
            const double x = 3 * u * u * t * p1.x() + 3 * u * t * t * p2.x() + t * t * t;
            const double y = 3 * u * u * t * p1.y() + 3 * u * t * t * p2.y() + t * t * t;
            EXPECT_NEAR(f.valueAt(x), y, 5e-4) << int(name) << " at " << x;
        }
    }
}

TEST(TrackingArea, KeepsTheBoundsItWasMadeWith)
{
    QWidget view;
    view.resize(50, 20);
    struct Owner : TrackingArea::Owner
    {
        int entered = 0, exited = 0;
        void mouseEntered(QEvent *) override { ++entered; }
        void mouseExited(QEvent *) override { ++exited; }
    } owner;
    TrackingArea area(&view, &owner, std::nullopt, 0x41);
    view.resize(200, 200);
    EXPECT_EQ(area.rect(), QRectF(0, 0, 50, 20));
    EXPECT_EQ(area.installedArea(), nullptr);
    area.update();
    ASSERT_NE(area.installedArea(), nullptr);
    EXPECT_EQ(area.installedArea()->rect(), QRectF(0, 0, 50, 20));
    EXPECT_EQ(area.installedArea()->options(), 0x41u);
    EXPECT_TRUE(view.hasMouseTracking());
}

TEST(ViewHelpers, WindowBlockedByAModalOrASheet)
{
    QWidget window;
    window.show();
    EXPECT_FALSE(ViewHelpers::isWindowBlocked(&window));
    QWidget sheet(&window, Qt::Dialog);
    sheet.setWindowModality(Qt::WindowModal);
    sheet.show();
    EXPECT_TRUE(ViewHelpers::isWindowBlocked(&window));
    sheet.hide();
    EXPECT_FALSE(ViewHelpers::isWindowBlocked(&window));
}
