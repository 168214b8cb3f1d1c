#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/CheckmarkView.h"
#include "Common/CircularProgress/ProgressCircleShapeLayer.h"
#include "Platform/Layers/AnimationListener.h"
#include "Platform/Layers/BasicAnimation.h"
#include "Platform/Layers/KeyframeAnimation.h"
#include "Platform/Layers/LayerHostWidget.h"
#include "Platform/Layers/Transaction.h"
#include "ProgressTestSupport.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>
#include <numbers>

using namespace platform;
using namespace progresstest;

namespace {

struct StopRecord : AnimationListener
{
    int started = 0;
    std::vector<bool> stops;
    void animationDidStart(const Animation &) override { ++started; }
    void animationDidStop(const Animation &, bool finished) override { stops.push_back(finished); }
};

// A 200 × 200 host on a manual clock with a ring of radius 80 around its centre, already on screen once.
struct RingScene
{
    LayerHostWidget host;
    std::shared_ptr<ProgressCircleShapeLayer> ring = ProgressCircleShapeLayer::create(80, QPointF(100, 100));

    RingScene()
    {
        host.resize(200, 200);
        host.clock().setManual(true);
        ring->setStrokeColor(Qt::blue);
        ring->setLineWidth(4);
        host.layer()->addSublayer(ring);
        host.host().snapshot();
    }

    void animateTo(double value, double duration = 0.5)
    {
        Transaction::begin();
        Transaction::setAnimationDuration(duration);
        Transaction::setAnimationTimingFunction(AnimationHelpers::easeOutTiming());
        ring->setProgress(value);
        Transaction::commit();
    }

    // Coverage of the ring at an angle measured clockwise from the top, as seen on screen.
    int coverageAt(const QImage &image, double degreesClockwise) const
    {
        const double a = degreesClockwise * std::numbers::pi / 180.0;
        return maxAlphaAround(image, int(100 + 80 * std::sin(a)), int(100 - 80 * std::cos(a)));
    }
};

} // namespace

TEST(LayerAnimation, QuarterRingGrowsFromTheTopClockwiseWithEaseOut)
{
    RingScene scene;
    scene.animateTo(0.25);
    EXPECT_DOUBLE_EQ(scene.ring->progress(), 0.25);
    EXPECT_DOUBLE_EQ(shownNumber(scene.ring, QStringLiteral("strokeEnd")), 0.0);

    scene.host.clock().advance(0.25);
    // Ease-out (0, 0, 0.58, 1) at half time is 0.684 of the way: well ahead of a linear 0.125.
    EXPECT_NEAR(shownNumber(scene.ring, QStringLiteral("strokeEnd")), 0.25 * 0.684, 0.004);
    QImage image = scene.host.host().snapshot();
    EXPECT_GT(scene.coverageAt(image, 30), 200);
    EXPECT_LT(scene.coverageAt(image, 80), 40);
    EXPECT_LT(scene.coverageAt(image, -30), 40) << "the ring must run clockwise from the top";

    scene.host.clock().advance(0.25);
    EXPECT_DOUBLE_EQ(shownNumber(scene.ring, QStringLiteral("strokeEnd")), 0.25);
    EXPECT_TRUE(scene.ring->animationKeys().isEmpty());
    image = scene.host.host().snapshot();
    EXPECT_GT(scene.coverageAt(image, 80), 200);
    EXPECT_LT(scene.coverageAt(image, 100), 40);
    EXPECT_LT(scene.coverageAt(image, 270), 40);
}

TEST(LayerAnimation, ResetEmptiesTheRingAtOnceEvenMidAnimationInsideAnAnimatedTransaction)
{
    RingScene scene;
    scene.animateTo(0.8);
    scene.host.clock().advance(0.1);
    ASSERT_GT(shownNumber(scene.ring, QStringLiteral("strokeEnd")), 0.2);

    Transaction::begin();
    Transaction::setAnimationDuration(1.0);
    scene.ring->resetProgress();
    Transaction::commit();
    EXPECT_DOUBLE_EQ(scene.ring->progress(), 0.0);
    EXPECT_DOUBLE_EQ(shownNumber(scene.ring, QStringLiteral("strokeEnd")), 0.0);
    scene.host.clock().advance(0.3);
    EXPECT_DOUBLE_EQ(shownNumber(scene.ring, QStringLiteral("strokeEnd")), 0.0);
    EXPECT_LT(scene.coverageAt(scene.host.host().snapshot(), 10), 40);
}

TEST(LayerAnimation, ImplicitAnimationsNeedAPresentedLayerEnabledActionsAndNoNullAction)
{
    LayerHostWidget host;
    host.resize(50, 50);
    host.clock().setManual(true);
    auto layer = ShapeLayer::create();
    host.layer()->addSublayer(layer);

    layer->setStrokeEnd(0.5);
    EXPECT_TRUE(layer->animationKeys().isEmpty()) << "a layer never drawn takes its first values as they are";

    host.host().snapshot();
    layer->setStrokeEnd(0.2);
    ASSERT_EQ(layer->animationKeys(), QStringList{QStringLiteral("strokeEnd")});
    // Outside any transaction the implicit one applies: a quarter second.
    EXPECT_DOUBLE_EQ(layer->animationForKey(QStringLiteral("strokeEnd"))->duration(), 0.25);
    EXPECT_DOUBLE_EQ(shownNumber(layer, QStringLiteral("strokeEnd")), 0.5);
    host.clock().advance(0.3);
    EXPECT_TRUE(layer->animationKeys().isEmpty());

    Transaction::begin();
    Transaction::setDisableActions(true);
    layer->setStrokeEnd(0.9);
    Transaction::commit();
    EXPECT_TRUE(layer->animationKeys().isEmpty());
    EXPECT_DOUBLE_EQ(shownNumber(layer, QStringLiteral("strokeEnd")), 0.9);

    layer->setActions({{QStringLiteral("lineWidth"), nullptr}});
    layer->setLineWidth(7);
    EXPECT_TRUE(layer->animationKeys().isEmpty());
    layer->setHidden(true);
    EXPECT_TRUE(layer->animationKeys().isEmpty()) << "the hidden flag is not animatable";

    // A view's backing layer animates only inside a view animation group.
    host.layer()->setOpacity(0.5);
    EXPECT_TRUE(host.layer()->animationKeys().isEmpty());
    Transaction::begin();
    Transaction::setAllowsImplicitAnimation(true);
    host.layer()->setOpacity(1.0);
    Transaction::commit();
    EXPECT_EQ(host.layer()->animationKeys(), QStringList{QStringLiteral("opacity")});
}

TEST(LayerAnimation, AReplacedAnimationReportsUnfinishedAndTheFinishedOneReportsFinished)
{
    LayerHostWidget host;
    host.clock().setManual(true);
    auto layer = ShapeLayer::create();
    host.layer()->addSublayer(layer);

    auto first = std::make_shared<StopRecord>();
    auto second = std::make_shared<StopRecord>();
    BasicAnimation animation(QStringLiteral("lineWidth"));
    animation.setFromValue(1.0);
    animation.setToValue(5.0);
    animation.setDuration(0.2);
    animation.setDelegate(first);
    layer->addAnimation(animation, QStringLiteral("width"));
    host.clock().advance(0.05);
    EXPECT_EQ(first->started, 1);

    animation.setDelegate(second);
    layer->addAnimation(animation, QStringLiteral("width"));
    EXPECT_EQ(first->stops, std::vector<bool>{false});
    EXPECT_TRUE(second->stops.empty());
    host.clock().advance(0.25);
    EXPECT_EQ(second->stops, std::vector<bool>{true});
    EXPECT_EQ(first->stops.size(), 1u) << "did-stop comes once";
    EXPECT_TRUE(layer->animationKeys().isEmpty());
}

TEST(LayerAnimation, ColourAnimationsReplaceEachOtherAndTheLastColourStays)
{
    LayerHostWidget host;
    host.clock().setManual(true);
    auto layer = ShapeLayer::create();
    host.layer()->addSublayer(layer);
    host.host().snapshot();
    const QString key = QStringLiteral("strokeColor");

    AnimationHelpers::animateLayerColor(layer, Qt::red, key, 0.2);
    auto firstAnimation = layer->animationForKey(key);
    ASSERT_TRUE(firstAnimation);
    host.clock().advance(0.05);
    AnimationHelpers::animateLayerColor(layer, Qt::blue, key, 0.2);
    EXPECT_NE(layer->animationForKey(key), firstAnimation);
    // The replaced animation wrote its own target quietly: no implicit animation took the key.
    EXPECT_TRUE(firstAnimation->hasStopped());
    EXPECT_EQ(layer->animationKeys(), QStringList{key});

    settle(host.host(), 0.3);
    EXPECT_EQ(layer->strokeColor(), QColor(Qt::blue));
    EXPECT_TRUE(sameRgb(shownColor(layer, key), QColor(Qt::blue)));

    // The colour it already has starts nothing.
    auto held = layer->animationForKey(key);
    AnimationHelpers::animateLayerColor(layer, Qt::blue, key, 0.2);
    EXPECT_EQ(layer->animationForKey(key), held);
}

TEST(LayerAnimation, TransactionCompletionWaitsForItsAnimations)
{
    LayerHostWidget host;
    host.clock().setManual(true);
    auto layer = ShapeLayer::create();
    host.layer()->addSublayer(layer);
    host.host().snapshot();

    bool done = false;
    Transaction::begin();
    Transaction::setAnimationDuration(0.3);
    Transaction::setCompletionBlock([&] { done = true; });
    layer->setStrokeStart(0.5);
    Transaction::commit();
    EXPECT_FALSE(done);
    host.clock().advance(0.2);
    EXPECT_FALSE(done);
    host.clock().advance(0.2);
    EXPECT_TRUE(done);

    bool empty = false;
    Transaction::begin();
    Transaction::setCompletionBlock([&] { empty = true; });
    Transaction::commit();
    EXPECT_TRUE(empty);
}

TEST(LayerAnimation, KeyframesFillModesRepeatsAndTheRotationValueFunction)
{
    LayerHostWidget host;
    host.clock().setManual(true);
    auto layer = ShapeLayer::create();
    host.layer()->addSublayer(layer);

    KeyframeAnimation bounce(QStringLiteral("lineWidth"));
    bounce.setValues({0.0, 10.0, 0.0});
    bounce.setKeyTimes({0.0, 0.8, 1.0});
    bounce.setDuration(1.0);
    layer->addAnimation(bounce, QStringLiteral("bounce"));
    host.clock().advance(0.4);
    EXPECT_NEAR(shownNumber(layer, QStringLiteral("lineWidth")), 5.0, 1e-9);
    host.clock().advance(0.5);
    EXPECT_NEAR(shownNumber(layer, QStringLiteral("lineWidth")), 5.0, 1e-9);
    host.clock().advance(0.2);
    EXPECT_DOUBLE_EQ(shownNumber(layer, QStringLiteral("lineWidth")), 1.0)
        << "removed: the model shows again";

    BasicAnimation hold(QStringLiteral("strokeEnd"));
    hold.setFromValue(1.0);
    hold.setToValue(0.3);
    hold.setDuration(0.1);
    hold.setFillMode(Animation::FillMode::Forwards);
    hold.setRemovedOnCompletion(false);
    layer->addAnimation(hold, QStringLiteral("hold"));
    host.clock().advance(0.5);
    EXPECT_DOUBLE_EQ(shownNumber(layer, QStringLiteral("strokeEnd")), 0.3);
    EXPECT_TRUE(layer->animationForKey(QStringLiteral("hold"))->hasStopped());

    layer->addAnimation(*AnimationHelpers::spinnerRotation(), QStringLiteral("rotate"));
    for (double elapsed : {0.25, 1.0}) {
        host.clock().advance(elapsed);
        // A quarter turn clockwise in y-up coordinates takes the x axis to −y, every second again.
        const QPointF x = shown(layer, QStringLiteral("transform")).value<QTransform>().map(QPointF(1, 0));
        EXPECT_NEAR(x.x(), 0.0, 1e-6);
        EXPECT_NEAR(x.y(), -1.0, 1e-6);
    }
    EXPECT_FALSE(layer->animationForKey(QStringLiteral("rotate"))->hasStopped());
}

TEST(LayerAnimation, CheckmarkDrawsItselfEachTimeItIsShownAgain)
{
    CheckmarkView view(QRect(0, 0, 100, 50));
    view.host().clock().setManual(true);
    const ShapeLayerPtr &mark = view.shapeLayer();
    // The mark's square is 0.4 of the shorter side, centred in the view.
    EXPECT_EQ(mark->frame(), QRectF(40, 15, 20, 20));
    const QPainterPath path = mark->path();
    ASSERT_EQ(path.elementCount(), 3);
    EXPECT_EQ(QPointF(path.elementAt(0)), QPointF(0, 10));
    EXPECT_NEAR(path.elementAt(1).x, 20.0 / 3.0, 1e-9);
    EXPECT_NEAR(path.elementAt(1).y, 10.0 / 3.0, 1e-9);
    EXPECT_NEAR(path.elementAt(2).y, 50.0 / 3.0, 1e-9);
    EXPECT_TRUE(mark->animationKeys().isEmpty()) << "a view created visible shows the whole mark";

    view.setHidden(true);
    view.setHidden(true);
    EXPECT_TRUE(mark->animationKeys().isEmpty());
    view.setHidden(false);
    ASSERT_TRUE(mark->animationForKey(view.animationKey()));
    EXPECT_DOUBLE_EQ(shownNumber(mark, QStringLiteral("strokeEnd")), 0.0);
    view.host().clock().advance(0.2);
    const double midway = shownNumber(mark, QStringLiteral("strokeEnd"));
    EXPECT_GT(midway, 0.4);
    EXPECT_LT(midway, 1.0);
    auto running = mark->animationForKey(view.animationKey());
    view.setHidden(false);
    EXPECT_EQ(mark->animationForKey(view.animationKey()), running) << "showing a shown view restarts nothing";
    view.host().clock().advance(0.4);
    EXPECT_TRUE(mark->animationKeys().isEmpty());
    EXPECT_DOUBLE_EQ(shownNumber(mark, QStringLiteral("strokeEnd")), 1.0);

    view.setHidden(true);
    view.setHidden(false);
    EXPECT_DOUBLE_EQ(shownNumber(mark, QStringLiteral("strokeEnd")), 0.0);
    view.host().clock().advance(0.1);
    view.setHidden(true);
    EXPECT_TRUE(mark->animationKeys().isEmpty()) << "hiding mid-drawing drops the animation";
}

TEST(LayerClock, TicksOnlyWhileAnAnimationRunsOnScreen)
{
    LayerHostWidget host;
    host.resize(60, 60);
    host.show();
    auto visible = ShapeLayer::create();
    auto hidden = ShapeLayer::create();
    hidden->setHidden(true);
    host.layer()->addSublayer(visible);
    host.layer()->addSublayer(hidden);
    testsupport::spin(20);
    EXPECT_FALSE(host.clock().isTicking());

    // For ever, but hidden: no frames are due.
    hidden->addAnimation(*AnimationHelpers::spinnerRotation(), QStringLiteral("rotate"));
    EXPECT_FALSE(host.clock().isTicking());
    hidden->setHidden(false);
    EXPECT_TRUE(host.clock().isAnimating());
    EXPECT_TRUE(host.clock().isTicking());
    hidden->setHidden(true);
    EXPECT_FALSE(host.clock().isTicking());

    // Finite and visible: frames until the end, then rest.
    BasicAnimation grow(QStringLiteral("strokeEnd"));
    grow.setFromValue(0.0);
    grow.setDuration(0.15);
    visible->addAnimation(grow, QStringLiteral("grow"));
    EXPECT_TRUE(host.clock().isAnimating());
    const quint64 ticksBefore = host.clock().tickCount();
    EXPECT_TRUE(testsupport::waitUntil([&] { return !host.clock().isTicking(); }, 2000));
    EXPECT_GE(host.clock().tickCount() - ticksBefore, 3u);

    // Finite on a hidden layer: no frames, one wake-up at the end so the delegate hears of it.
    auto record = std::make_shared<StopRecord>();
    grow.setDelegate(record);
    hidden->addAnimation(grow, QStringLiteral("grow"));
    EXPECT_FALSE(host.clock().isAnimating());
    EXPECT_TRUE(host.clock().isTicking());
    const quint64 ticksHidden = host.clock().tickCount();
    EXPECT_TRUE(testsupport::waitUntil([&] { return !record->stops.empty(); }, 2000));
    EXPECT_EQ(record->stops, std::vector<bool>{true});
    EXPECT_LE(host.clock().tickCount() - ticksHidden, 2u);
    EXPECT_FALSE(host.clock().isTicking());
}
