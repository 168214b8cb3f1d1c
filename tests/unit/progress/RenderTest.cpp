#include "Common/CircularProgress/CircularProgress.h"
#include "ProgressTestSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace progresstest;

namespace {

std::unique_ptr<CircularProgress> makeView(QSize size)
{
    auto view = std::make_unique<CircularProgress>(size);
    view->host().clock().setManual(true);
    view->setLineWidth(4);
    view->host().snapshot();
    settle(view->host(), 0.3);
    return view;
}

// The view's own painting on a transparent image, through its paint events.
QImage render(QWidget &view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
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
    auto view = makeView(QSize(200, 200));
    const QPointF c(100, 100);
    view->setProgress(0.5);
    settle(view->host(), 0.6);
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
    settle(view->host(), 0.7);
    image = render(*view);
    EXPECT_GT(ringCoverage(image, c, 80, 270), 220);
    EXPECT_GT(maxAlphaAround(image, 87, 127), 200) << "the checkmark's low point";
    EXPECT_GT(maxAlphaAround(image, 62, 100), 150) << "its left end";
    EXPECT_GT(maxAlphaAround(image, 138, 74), 150) << "its right end";
    EXPECT_EQ(maxAlphaAround(image, 100, 80, 2), 0) << "no label left above the mark";
}

TEST(ProgressPixels, WideViewKeepsEverythingInTheRingsSquare)
{
    auto view = makeView(QSize(200, 100));
    const QPointF c(100, 50);
    view->setProgress(0.25);
    settle(view->host(), 0.6);
    QImage image = render(*view);
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_GT(ringCoverage(image, c, 40, 45), 220);
    EXPECT_LT(ringCoverage(image, c, 40, 135), 160);
    EXPECT_GT(opaquePixelsIn(image, QRect(80, 40, 40, 20)), 10) << "the 20-point label in the centre";
    EXPECT_EQ(opaquePixelsIn(image, QRect(0, 0, 55, 100), 1), 0);
    EXPECT_EQ(opaquePixelsIn(image, QRect(146, 0, 54, 100), 1), 0);

    view->setProgress(1.0);
    settle(view->host(), 0.7);
    image = render(*view);
    // The mark is centred on the ring: low point at (93, 63), ends at (80, 50) and (120, 37).
    EXPECT_GT(maxAlphaAround(image, 93, 63), 200);
    EXPECT_GT(maxAlphaAround(image, 81, 50), 150);
    EXPECT_GT(maxAlphaAround(image, 119, 37), 150);
    EXPECT_EQ(opaquePixelsIn(image, QRect(0, 0, 55, 100), 1), 0) << "nothing outside the ring's square";
}

TEST(ProgressPixels, SpinnerAndCancelButton)
{
    auto view = makeView(QSize(200, 200));
    const QPointF c(100, 100);
    view->setIsIndeterminate(true);
    settle(view->host(), 0.1);
    QImage image = render(*view);
    // The spinner is a quarter arc; it starts from the bottom towards the right before it turns.
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
    settle(view->host(), 1.2);
    image = render(*view);
    // The button's faint disc fills the ring and the cross is drawn in the centre; the label is gone.
    EXPECT_GT(qAlpha(image.pixel(60, 60)), 10);
    EXPECT_LT(qAlpha(image.pixel(60, 60)), 60);
    EXPECT_GT(opaquePixelsIn(image, QRect(80, 80, 40, 40), 150), 10);
    EXPECT_EQ(qAlpha(image.pixel(10, 10)), 0);
}

// A still layer kept as an image looks exactly as one drawn afresh, at either pixel density and wherever
// it lands between pixels; a change of it shows at once.
TEST(ProgressPixels, ARasterizedLayerPaintsTheSamePixels)
{
    struct Scene
    {
        platform::LayerPtr root = platform::Layer::create();
        platform::ShapeLayerPtr ring = platform::ShapeLayer::create();
    };
    auto makeScene = [](bool rasterize, QPointF offset) {
        Scene scene;
        scene.root->setBounds(QRectF(0, 0, 120, 120));
        scene.root->setPosition(QPointF(60, 60) + offset);
        scene.ring->setFrame(QRectF(0, 0, 120, 120));
        QPainterPath path;
        path.addEllipse(QPointF(60, 60), 48, 48);
        scene.ring->setPath(path);
        scene.ring->setFillColor(QColor());
        scene.ring->setStrokeColor(QColor(20, 110, 240, 128));
        scene.ring->setLineWidth(2.5);
        scene.ring->setShouldRasterize(rasterize);
        scene.root->addSublayer(scene.ring);
        return scene;
    };
    auto render = [](Scene &scene, double scale) {
        QImage image(QSize(121, 121) * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        scene.root->render(painter, 0);
        return image;
    };
    for (const double scale : {1.0, 2.0}) {
        for (const QPointF offset : {QPointF(0, 0), QPointF(0.3, 0.7)}) {
            SCOPED_TRACE(testing::Message() << "scale " << scale << ", offset " << offset.x());
            Scene fresh = makeScene(false, offset), kept = makeScene(true, offset);
            const QImage expected = render(fresh, scale);
            EXPECT_EQ(render(kept, scale), expected) << "the first frame, which fills the kept image";
            EXPECT_EQ(render(kept, scale), expected) << "a frame from the kept image";
            fresh.ring->setStrokeColor(Qt::red);
            kept.ring->setStrokeColor(Qt::red);
            EXPECT_EQ(render(kept, scale), render(fresh, scale)) << "after a change";
        }
    }
}
