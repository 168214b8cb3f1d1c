#include "Common/CircularProgress/CircularProgress.h"
#include "ProgressTestSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace progresstest;

namespace {

std::unique_ptr<CircularProgress> makeView(ManualAnimationDriver &clock, QSize size)
{
    auto view = std::make_unique<CircularProgress>(size);
    view->setLineWidth(4);
    settle(clock, 0.3);
    return view;
}

// Coverage on the ring of a view at an angle clockwise from the top, in image coordinates.
int ringCoverage(const QImage &image, QPointF center, double radius, double degrees)
{
    const double a = degrees * std::numbers::pi / 180.0;
    return maxAlphaAround(image, int(std::lround(center.x() + radius * std::sin(a))),
                          int(std::lround(center.y() - radius * std::cos(a))));
}

} // namespace

TEST(ProgressPixels, SquareViewShowsRingLabelAndCheckmarkWhereExpected)
{
    ManualAnimationDriver clock;
    auto view = makeView(clock, QSize(200, 200));
    const QPointF c(100, 100);
    view->setProgress(0.5);
    settle(clock, 0.6);
    QImage image = render(*view);
    ASSERT_EQ(image.size(), QSize(200, 200));

    // Full ring from 0° to 180°, the half-transparent track elsewhere, nothing outside the ring.
    EXPECT_GT(ringCoverage(image, c, 80, 5), 220);
    EXPECT_GT(ringCoverage(image, c, 80, 90), 220);
    EXPECT_GT(ringCoverage(image, c, 80, 175), 220);
    const int track = ringCoverage(image, c, 80, 270);
    EXPECT_GT(track, 40);
    EXPECT_LT(track, 160);
    EXPECT_EQ(maxAlphaAround(image, 100, 4, 2), 0);
    EXPECT_EQ(maxAlphaAround(image, 30, 100, 2), 0) << "inside the ring, left of the label";

    // The label is centred: text pixels in the middle band, none above or below it.
    EXPECT_GT(opaquePixelsIn(image, QRect(55, 82, 90, 36)), 40);
    EXPECT_EQ(opaquePixelsIn(image, QRect(70, 45, 60, 25), 1), 0);
    EXPECT_EQ(opaquePixelsIn(image, QRect(70, 132, 60, 25), 1), 0);

    // Finished: the label empties and the checkmark is drawn through its low point and its ends.
    view->setProgress(1.0);
    settle(clock, 0.7);
    image = render(*view);
    EXPECT_GT(ringCoverage(image, c, 80, 270), 220);
    EXPECT_GT(maxAlphaAround(image, 87, 127), 200) << "the checkmark's low point";
    EXPECT_GT(maxAlphaAround(image, 62, 100), 150) << "its left end";
    EXPECT_GT(maxAlphaAround(image, 138, 74), 150) << "its right end";
    EXPECT_EQ(maxAlphaAround(image, 100, 80, 2), 0) << "no label left above the mark";
}

TEST(ProgressPixels, WideViewKeepsEverythingInTheRingsSquare)
{
    ManualAnimationDriver clock;
    auto view = makeView(clock, QSize(200, 100));
    const QPointF c(100, 50);
    view->setProgress(0.25);
    settle(clock, 0.6);
    QImage image = render(*view);
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_GT(ringCoverage(image, c, 40, 45), 220);
    EXPECT_LT(ringCoverage(image, c, 40, 135), 160);
    EXPECT_GT(opaquePixelsIn(image, QRect(80, 40, 40, 20)), 10) << "the 20-point label in the centre";
    EXPECT_EQ(opaquePixelsIn(image, QRect(0, 0, 55, 100), 1), 0);
    EXPECT_EQ(opaquePixelsIn(image, QRect(146, 0, 54, 100), 1), 0);

    view->setProgress(1.0);
    settle(clock, 0.7);
    image = render(*view);
    // The mark is centred on the ring: low point at (93, 63), ends at (80, 50) and (120, 37).
    EXPECT_GT(maxAlphaAround(image, 93, 63), 200);
    EXPECT_GT(maxAlphaAround(image, 81, 50), 150);
    EXPECT_GT(maxAlphaAround(image, 119, 37), 150);
    EXPECT_EQ(opaquePixelsIn(image, QRect(0, 0, 55, 100), 1), 0) << "nothing outside the ring's square";
}

TEST(ProgressPixels, SpinnerAndCancelButton)
{
    ManualAnimationDriver clock;
    auto view = makeView(clock, QSize(200, 200));
    const QPointF c(100, 100);
    view->setIsIndeterminate(true);
    settle(clock, 0.1);
    QImage image = render(*view);
    // The spinner is a quarter arc.
    int arcs = 0;
    for (double degrees = 0; degrees < 360; degrees += 10)
        arcs += ringCoverage(image, c, 80, degrees) > 220 ? 1 : 0;
    EXPECT_GE(arcs, 8);
    EXPECT_LE(arcs, 11);

    view->setIsIndeterminate(false);
    view->setIsCancellable(true);
    view->setProgress(0.3);
    QEnterEvent enter(c, c, c);
    QApplication::sendEvent(view.get(), &enter);
    settle(clock, 1.2);
    image = render(*view);
    // The button's faint disc fills the ring and the cross is drawn in the centre; the label is gone.
    EXPECT_GT(qAlpha(image.pixel(60, 60)), 10);
    EXPECT_LT(qAlpha(image.pixel(60, 60)), 60);
    EXPECT_GT(opaquePixelsIn(image, QRect(80, 80, 40, 40), 150), 10);
    EXPECT_EQ(qAlpha(image.pixel(10, 10)), 0);
}

// Inside a window, away from its corner, the ring looks as it does on its own, at either density: the track
// kept as an image lands where it is drawn.
TEST(ProgressPixels, InsideAWindowTheRingLooksAsOnItsOwn)
{
    ManualAnimationDriver clock;
    QWidget window;
    window.resize(420, 420);
    auto *inside = new CircularProgress(QRect(129, 189, 200, 200), &window);
    CircularProgress alone(QSize(200, 200));
    for (CircularProgress *view : {inside, &alone}) {
        view->setLineWidth(5);
        view->setProgress(0.3);
    }
    window.show();
    settle(clock, 0.8);
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        // Twice: the first paint keeps the track, the second copies it.
        for (int round = 0; round < 2; ++round) {
            const QImage expected = render(alone, scale);
            const QImage whole = render(window, scale);
            const QImage part = whole.copy(QRect(QPoint(129, 189) * scale, QSize(200, 200) * scale));
            EXPECT_GT(ringCoverage(part, QPointF(100, 100) * scale, 80 * scale, 270), 40) << "the track";
            EXPECT_EQ(part, expected);
        }
    }
}
