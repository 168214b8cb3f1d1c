#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/CheckmarkView.h"
#include "Common/CircularProgress/IndeterminateProgressCircleShapeLayer.h"
#include "Common/CircularProgress/ProgressCircleShapeLayer.h"
#include "ProgressTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>

using namespace progresstest;

namespace {

// A 200 × 200 view that paints a ring and a spinner of radius 80 around its centre, in blue.
class PartsView : public QWidget
{
public:
    std::unique_ptr<ProgressCircleShapeLayer> ring =
        std::make_unique<ProgressCircleShapeLayer>(80, QPointF(100, 100), this);
    std::unique_ptr<IndeterminateProgressCircleShapeLayer> spinner =
        std::make_unique<IndeterminateProgressCircleShapeLayer>(80, QPointF(100, 100), this);

    PartsView()
    {
        resize(200, 200);
        ring->setLineWidth(4);
        spinner->setLineWidth(4);
        spinner->setHidden(true);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        spinner->paint(painter, Qt::blue);
        ring->paint(painter, Qt::blue);
    }
};

// Coverage of the circle at an angle measured clockwise from the top, as seen on screen.
int coverageAt(const QImage &image, double degreesClockwise)
{
    const double a = degreesClockwise * std::numbers::pi / 180.0;
    return maxAlphaAround(image, int(100 + 80 * std::sin(a)), int(100 - 80 * std::cos(a)));
}

} // namespace

TEST(ProgressCircleShapeLayer, AQuarterRingGrowsFromTheTopClockwiseWithEaseOut)
{
    ManualAnimationDriver clock;
    PartsView view;
    view.ring->setProgress(0.25, 500, AnimationHelpers::easeOutTiming());
    EXPECT_DOUBLE_EQ(view.ring->progress(), 0.25);
    EXPECT_DOUBLE_EQ(view.ring->shownProgress(), 0.0);

    clock.advance(0.25);
    // Ease-out (0, 0, 0.58, 1) at half time is 0.684 of the way: well ahead of a linear 0.125.
    EXPECT_NEAR(view.ring->shownProgress(), 0.25 * 0.684, 0.004);
    QImage image = render(view);
    EXPECT_GT(coverageAt(image, 30), 200);
    EXPECT_LT(coverageAt(image, 80), 40);
    EXPECT_LT(coverageAt(image, -30), 40) << "the ring must run clockwise from the top";

    clock.advance(0.25);
    EXPECT_DOUBLE_EQ(view.ring->shownProgress(), 0.25);
    image = render(view);
    EXPECT_GT(coverageAt(image, 80), 200);
    EXPECT_LT(coverageAt(image, 100), 40);
    EXPECT_LT(coverageAt(image, 270), 40);

    // The value it already heads for starts nothing new; a full ring closes on itself.
    view.ring->setProgress(1.0, 500, AnimationHelpers::easeOutTiming());
    clock.advance(0.2);
    const double shown = view.ring->shownProgress();
    view.ring->setProgress(1.0, 500, AnimationHelpers::easeOutTiming());
    clock.advance(0.1);
    EXPECT_GT(view.ring->shownProgress(), shown);
    settle(clock, 0.3);
    image = render(view);
    for (double degrees : {0.0, 90.0, 180.0, 270.0, 359.0})
        EXPECT_GT(coverageAt(image, degrees), 200) << degrees;
}

TEST(ProgressCircleShapeLayer, ResetEmptiesTheRingAtOnceEvenWhileItMoves)
{
    ManualAnimationDriver clock;
    PartsView view;
    view.ring->setProgress(0.8, 500, AnimationHelpers::easeOutTiming());
    clock.advance(0.1);
    ASSERT_GT(view.ring->shownProgress(), 0.2);

    view.ring->resetProgress();
    EXPECT_DOUBLE_EQ(view.ring->progress(), 0.0);
    EXPECT_DOUBLE_EQ(view.ring->shownProgress(), 0.0);
    clock.advance(0.3);
    EXPECT_DOUBLE_EQ(view.ring->shownProgress(), 0.0);
    EXPECT_LT(coverageAt(render(view), 10), 40);
}

TEST(IndeterminateProgressCircleShapeLayer, AQuarterArcTurnsClockwiseOnlyWhileItCanBeSeen)
{
    ManualAnimationDriver clock;
    PartsView view;
    view.ring->setHidden(true);
    view.spinner->addRotation();
    view.spinner->addRotation();
    view.spinner->setOnScreen(true);
    EXPECT_FALSE(view.spinner->isTurning()) << "hidden";
    view.spinner->setHidden(false);
    EXPECT_TRUE(view.spinner->isTurning());

    // From the bottom to the right-hand side…
    QImage image = render(view);
    EXPECT_GT(coverageAt(image, 135), 200);
    EXPECT_LT(coverageAt(image, 225), 40);
    EXPECT_LT(coverageAt(image, 45), 40);
    // …a quarter turn clockwise a quarter second later, and the same again every second.
    for (double elapsed : {0.25, 1.0}) {
        clock.advance(elapsed);
        EXPECT_NEAR(view.spinner->rotation(), 90.0, 0.5);
        image = render(view);
        EXPECT_GT(coverageAt(image, 225), 200);
        EXPECT_LT(coverageAt(image, 135), 40);
    }

    view.spinner->setOnScreen(false);
    EXPECT_FALSE(view.spinner->isTurning()) << "off screen it waits";
    clock.advance(0.5);
    EXPECT_NEAR(view.spinner->rotation(), 90.0, 0.5);
    view.spinner->setOnScreen(true);
    clock.advance(0.25);
    EXPECT_NEAR(view.spinner->rotation(), 180.0, 0.5) << "and goes on from where it stood";
}

TEST(CheckmarkView, DrawsItselfEachTimeItIsShownAgain)
{
    ManualAnimationDriver clock;
    CheckmarkView view(QRect(0, 0, 100, 50));
    // The mark's square is 0.4 of the shorter side, centred in the view: (40, 15) to (60, 35).
    const QPainterPath path = view.path();
    ASSERT_EQ(path.elementCount(), 3);
    EXPECT_EQ(QPointF(path.elementAt(0)), QPointF(40, 25));
    EXPECT_NEAR(path.elementAt(1).x, 40 + 20.0 / 3.0, 1e-9);
    EXPECT_NEAR(path.elementAt(1).y, 15 + 50.0 / 3.0, 1e-9);
    EXPECT_NEAR(path.elementAt(2).x, 60, 1e-9);
    EXPECT_NEAR(path.elementAt(2).y, 15 + 10.0 / 3.0, 1e-9);
    EXPECT_FALSE(view.isDrawing()) << "a view created visible shows the whole mark";
    EXPECT_DOUBLE_EQ(view.strokeEnd(), 1.0);

    view.setHidden(true);
    view.setHidden(true);
    EXPECT_FALSE(view.isDrawing());
    view.setHidden(false);
    ASSERT_TRUE(view.isDrawing());
    EXPECT_DOUBLE_EQ(view.strokeEnd(), 0.0);
    clock.advance(0.2);
    const double midway = view.strokeEnd();
    EXPECT_GT(midway, 0.4);
    EXPECT_LT(midway, 1.0);
    // Drawn so far: the short stroke, not yet the far end of the long one.
    QImage image = render(view);
    EXPECT_GT(maxAlphaAround(image, 46, 31), 150);
    EXPECT_EQ(maxAlphaAround(image, 60, 18, 1), 0);

    view.setHidden(false);
    clock.advance(0.01);
    EXPECT_GT(view.strokeEnd(), midway) << "showing a shown view restarts nothing";
    clock.advance(0.4);
    EXPECT_FALSE(view.isDrawing());
    EXPECT_DOUBLE_EQ(view.strokeEnd(), 1.0);
    EXPECT_GT(maxAlphaAround(render(view), 59, 19), 150);

    view.setHidden(true);
    view.setHidden(false);
    EXPECT_DOUBLE_EQ(view.strokeEnd(), 0.0);
    clock.advance(0.1);
    view.setHidden(true);
    EXPECT_FALSE(view.isDrawing()) << "hiding mid-drawing drops the animation";
}
