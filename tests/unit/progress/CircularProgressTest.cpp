#include "Common/CircularProgress/CircularProgress.h"

#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/ViewHelpers.h"
#include "ProgressTestSupport.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QEnterEvent>
#include <QGraphicsEffect>
#include <QThread>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

using namespace progresstest;

namespace {

// Every case steps the animations by hand.
class CircularProgressTest : public ::testing::Test
{
protected:
    std::unique_ptr<CircularProgress> makeView(QSize size = QSize(200, 200))
    {
        auto view = std::make_unique<CircularProgress>(size);
        drain();
        return view;
    }

    ManualAnimationDriver clock;
};

bool hidden(QWidget *widget)
{
    return !widget->isVisibleTo(widget->parentWidget());
}

void enter(CircularProgress &view, QPointF at = QPointF(100, 100))
{
    QEnterEvent event(at, at, view.mapToGlobal(at));
    QApplication::sendEvent(&view, &event);
}

void leave(CircularProgress &view)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&view, &event);
}

} // namespace

TEST_F(CircularProgressTest, PartsFollowTheSizeAtConstruction)
{
    auto wide = makeView(QSize(200, 100));
    EXPECT_DOUBLE_EQ(wide->radius(), 40.0);
    EXPECT_DOUBLE_EQ(wide->progressLabel()->fontSize(), 20.0);
    EXPECT_EQ(wide->cancelButton()->geometry(), QRect(60, 10, 80, 80));
    EXPECT_EQ(wide->progressLabel()->frame().center(), QPointF(100, 50));
    EXPECT_EQ(wide->successView()->geometry(), QRect(0, 0, 200, 100));

    auto tall = makeView(QSize(100, 300));
    EXPECT_DOUBLE_EQ(tall->radius(), 40.0);
    tall->resize(400, 400);
    EXPECT_DOUBLE_EQ(tall->radius(), 40.0) << "nothing is rebuilt on resize";

    // The checkmark, then the cancel button on top of it, inside the view.
    const QObjectList children = wide->children();
    const auto mark = children.indexOf(wide->successView());
    const auto button = children.indexOf(wide->cancelButton());
    ASSERT_GE(mark, 0);
    EXPECT_GT(button, mark);
}

TEST_F(CircularProgressTest, ANewViewShowsTrackAndEmptyRingUntilTheFirstSet)
{
    auto view = makeView();
    EXPECT_TRUE(view->progressLabel()->isHidden());
    EXPECT_DOUBLE_EQ(view->progressCircle()->progress(), 0.0);
    EXPECT_FALSE(view->progressCircle()->isHidden());
    EXPECT_TRUE(view->indeterminateCircle()->isHidden());
    EXPECT_TRUE(hidden(view->cancelButton()));
    EXPECT_TRUE(hidden(view->successView()));
    EXPECT_FALSE(view->trackingArea()) << "not cancellable: no hover area";
    EXPECT_TRUE(sameRgb(view->shownColor(), view->color(), 1));
    EXPECT_TRUE(sameRgb(view->successView()->color(), view->color(), 1));

    view->setProgress(0);
    EXPECT_FALSE(view->progressLabel()->isHidden());
    EXPECT_EQ(view->progressLabel()->string(), QStringLiteral("0%"));
}

TEST_F(CircularProgressTest, LabelsClampingAndFinishing)
{
    auto view = makeView();
    struct Case
    {
        double given;
        double stored;
        const char *label;
    };
    const Case cases[] = {{0.0, 0.0, "0%"},  {0.29, 0.29, "28%"},       {0.999, 0.999, "99%"},
                          {-0.3, 0.0, "0%"}, {std::nan(""), 0.0, "0%"}, {0.5, 0.5, "50%"}};
    for (const Case &c : cases) {
        view->setProgress(c.given);
        EXPECT_DOUBLE_EQ(view->progress(), c.stored) << c.given;
        EXPECT_EQ(view->progressLabel()->string(), QString::fromLatin1(c.label)) << c.given;
        EXPECT_FALSE(view->isFinished());
    }
    // The ring follows on the main queue, from the value shown, to the value stored by then.
    EXPECT_DOUBLE_EQ(view->progressCircle()->progress(), 0.0);
    drain();
    EXPECT_DOUBLE_EQ(view->progressCircle()->progress(), 0.5);
    EXPECT_DOUBLE_EQ(view->progressCircle()->shownProgress(), 0.0);
    settle(clock, 0.25);
    EXPECT_GT(view->progressCircle()->shownProgress(), 0.3) << "ease-out: well past half way at half time";
    EXPECT_LT(view->progressCircle()->shownProgress(), 0.5);
    settle(clock, 0.3);
    EXPECT_DOUBLE_EQ(view->progressCircle()->shownProgress(), 0.5);

    view->setProgress(1.7);
    EXPECT_DOUBLE_EQ(view->progress(), 1.0);
    EXPECT_TRUE(view->isFinished());
    EXPECT_EQ(view->progressLabel()->string(), QString());
    EXPECT_FALSE(hidden(view->successView()));
    EXPECT_TRUE(hidden(view->cancelButton()));

    // Finishing again restarts the checkmark's drawing.
    settle(clock, 0.6);
    EXPECT_FALSE(view->successView()->isDrawing());
    view->setProgress(1.0);
    EXPECT_TRUE(view->successView()->isDrawing());
    EXPECT_DOUBLE_EQ(view->successView()->strokeEnd(), 0.0);

    // Below 1 the percentage comes back, but the view stays finished until a reset.
    view->setProgress(0.4);
    EXPECT_EQ(view->progressLabel()->string(), QStringLiteral("40%"));
    EXPECT_TRUE(hidden(view->successView()));
    EXPECT_TRUE(view->isFinished());
}

TEST_F(CircularProgressTest, WithoutTheCheckmarkTheLabelKeepsHundredPercent)
{
    auto view = makeView();
    view->setShowCheckmarkAtHundredPercent(false);
    view->setProgress(1.0);
    EXPECT_TRUE(view->isFinished());
    EXPECT_EQ(view->progressLabel()->string(), QStringLiteral("100%"));
    EXPECT_TRUE(hidden(view->successView()));
}

TEST_F(CircularProgressTest, IndeterminateShowsTheSpinnerAndHidesAZeroLabel)
{
    auto view = makeView();
    view->show();
    QList<bool> announced;
    QObject::connect(view.get(), &CircularProgress::isIndeterminateChanged, [&](bool v) { announced << v; });
    EXPECT_TRUE(view->indeterminateCircle()->hasRotation()) << "the display update adds the spinner's turn";
    EXPECT_FALSE(view->indeterminateCircle()->isTurning()) << "hidden, it waits";
    view->setIsIndeterminate(true);
    EXPECT_TRUE(view->progressCircle()->isHidden());
    EXPECT_FALSE(view->indeterminateCircle()->isHidden());
    EXPECT_TRUE(view->progressLabel()->isHidden());
    EXPECT_TRUE(view->indeterminateCircle()->isTurning());
    settle(clock, 0.25);
    EXPECT_NEAR(view->indeterminateCircle()->rotation(), 90.0, 0.5) << "a quarter turn a quarter second";

    view->setProgress(0);
    EXPECT_TRUE(view->progressLabel()->isHidden());
    view->setProgress(0.3);
    EXPECT_FALSE(view->progressLabel()->isHidden());
    EXPECT_EQ(view->progressLabel()->string(), QStringLiteral("30%"));

    view->setProgress(1.0);
    EXPECT_FALSE(view->isIndeterminate()) << "finishing leaves the indeterminate state";
    EXPECT_FALSE(view->progressCircle()->isHidden());
    EXPECT_TRUE(view->indeterminateCircle()->isHidden());
    EXPECT_FALSE(view->indeterminateCircle()->isTurning()) << "the hidden spinner costs nothing";
    EXPECT_EQ(announced, (QList<bool>{true, false}));

    // Off screen an indeterminate view's spinner waits too, and goes on from where it stood.
    view->setIsIndeterminate(true);
    const double angle = view->indeterminateCircle()->rotation();
    view->hide();
    EXPECT_FALSE(view->indeterminateCircle()->isTurning());
    settle(clock, 0.3);
    EXPECT_DOUBLE_EQ(view->indeterminateCircle()->rotation(), angle);
    view->show();
    EXPECT_TRUE(view->indeterminateCircle()->isTurning());
}

TEST_F(CircularProgressTest, CancellingDimsOrUsesTheHandlerAndLeavesIndeterminate)
{
    auto view = makeView();
    const QColor original = view->color();
    int cancelledCalls = 0;
    view->setOnCancelled([&] { ++cancelledCalls; });

    view->cancelProgress();
    EXPECT_FALSE(view->isCancelled()) << "not cancellable: nothing happens";

    view->setIsCancellable(true);
    view->setIsIndeterminate(true);
    view->cancelProgress();
    EXPECT_TRUE(view->isCancelled());
    EXPECT_EQ(cancelledCalls, 1);
    EXPECT_FALSE(view->isIndeterminate());
    EXPECT_DOUBLE_EQ(view->alphaValue(), 0.7);
    EXPECT_DOUBLE_EQ(ViewHelpers::opacity(view->cancelButton()), 0.7) << "what is inside dims with it";
    EXPECT_EQ(view->originalColor(), original);
    const QColor dimmed = view->color();
    EXPECT_NEAR(dimmed.hsvSaturationF(), original.hsvSaturationF() * 0.6, 0.01);
    EXPECT_NEAR(dimmed.valueF(), original.valueF() * 0.8, 0.01);
    // The colour reaches the parts by a 0.2 s transition.
    drain();
    settle(clock, 0.1);
    EXPECT_FALSE(sameRgb(view->shownColor(), dimmed, 1));
    EXPECT_FALSE(sameRgb(view->shownColor(), original, 1));
    settle(clock, 0.15);
    EXPECT_TRUE(sameRgb(view->shownColor(), dimmed, 1));
    EXPECT_TRUE(sameRgb(view->successView()->color(), dimmed, 1));
    EXPECT_TRUE(sameRgb(view->cancelButton()->textColor(), dimmed, 1));

    // A finish after cancelling shows no checkmark.
    view->setProgress(1.0);
    EXPECT_TRUE(hidden(view->successView()));

    // Setting the colour while cancelled replaces both colours; the dimming is not applied again.
    view->setColor(Qt::green);
    EXPECT_EQ(view->color(), QColor(Qt::green));
    EXPECT_EQ(view->originalColor(), QColor(Qt::green));

    view->resetProgress();
    EXPECT_FALSE(view->isCancelled());
    EXPECT_FALSE(view->isFinished());
    EXPECT_DOUBLE_EQ(view->alphaValue(), 1.0);
    EXPECT_EQ(view->color(), QColor(Qt::green));
    EXPECT_DOUBLE_EQ(view->progress(), 0.0);
    EXPECT_DOUBLE_EQ(view->progressCircle()->progress(), 0.0);
    EXPECT_EQ(view->progressLabel()->string(), QStringLiteral("0%"));
    EXPECT_TRUE(view->isCancellable()) << "a reset keeps the cancellability";

    auto handled = makeView();
    handled->setCancelledStateColorHandler([](const QColor &) { return QColor(Qt::red); });
    handled->setIsCancelled(true);
    EXPECT_EQ(handled->color(), QColor(Qt::red));
    EXPECT_DOUBLE_EQ(handled->alphaValue(), 1.0) << "a handler's colour comes without the dimmed opacity";

    auto plain = makeView();
    plain->setVisualizeCancelledState(false);
    plain->setIsCancelled(true);
    EXPECT_EQ(plain->color(), plain->originalColor());
}

TEST_F(CircularProgressTest, ResetEmptiesTheRingAtOnceAndHidesTheCheckmark)
{
    auto view = makeView();
    view->setProgress(1.0);
    settle(clock, 0.2);
    ASSERT_GT(view->progressCircle()->shownProgress(), 0.3);
    view->resetProgress();
    EXPECT_DOUBLE_EQ(view->progressCircle()->shownProgress(), 0.0);
    settle(clock, 0.3);
    EXPECT_DOUBLE_EQ(view->progressCircle()->shownProgress(), 0.0) << "the move under way is gone";
    EXPECT_TRUE(hidden(view->successView()));
    EXPECT_FALSE(view->isFinished());
}

TEST_F(CircularProgressTest, HoverOffersTheCancelButtonOnlyWhileCancellable)
{
    auto view = makeView();
    view->setProgress(0.5);
    enter(*view);
    drain();
    EXPECT_TRUE(hidden(view->cancelButton())) << "not cancellable";

    view->setIsCancellable(true);
    ASSERT_TRUE(view->trackingArea());
    EXPECT_EQ(*view->trackingArea(), QRectF(view->cancelButton()->geometry()));
    EXPECT_TRUE(view->hasMouseTracking());
    enter(*view, QPointF(5, 5));
    drain();
    EXPECT_TRUE(hidden(view->cancelButton())) << "outside the ring's square";

    enter(*view);
    EXPECT_TRUE(view->progressLabel()->isHidden());
    EXPECT_TRUE(hidden(view->cancelButton())) << "the fade-in starts from the main queue";
    drain();
    EXPECT_FALSE(hidden(view->cancelButton()));
    auto *fade = qobject_cast<QGraphicsOpacityEffect *>(view->cancelButton()->graphicsEffect());
    ASSERT_NE(fade, nullptr);
    EXPECT_DOUBLE_EQ(fade->opacity(), 0.0);
    settle(clock, 0.5);
    EXPECT_GT(fade->opacity(), 0.5) << "the default curve is ahead of an even pace";
    EXPECT_LT(fade->opacity(), 1.0);
    settle(clock, 0.6);
    EXPECT_EQ(view->cancelButton()->graphicsEffect(), nullptr) << "after the fade the button draws directly";

    leave(*view);
    EXPECT_TRUE(hidden(view->cancelButton()));
    EXPECT_FALSE(view->progressLabel()->isHidden());
    EXPECT_EQ(view->progressLabel()->string(), QStringLiteral("50%"));

    // Leaving before the fade-in has begun: the button stays away, the label stays.
    enter(*view);
    leave(*view);
    drain();
    settle(clock, 0.2);
    EXPECT_TRUE(hidden(view->cancelButton()));
    EXPECT_FALSE(view->progressLabel()->isHidden());

    // Indeterminate at 0: after leaving the label stays hidden.
    view->setProgress(0);
    view->setIsIndeterminate(true);
    enter(*view);
    drain();
    leave(*view);
    EXPECT_TRUE(view->progressLabel()->isHidden());

    // Finished: no cancel button.
    view->setProgress(1.0);
    enter(*view);
    drain();
    EXPECT_TRUE(hidden(view->cancelButton()));
    EXPECT_FALSE(hidden(view->successView()));

    view->setIsCancellable(false);
    EXPECT_FALSE(view->trackingArea());
    EXPECT_FALSE(view->hasMouseTracking());
}

TEST_F(CircularProgressTest, TheCancelButtonCancels)
{
    auto view = makeView();
    view->setIsCancellable(true);
    view->setProgress(0.2);
    enter(*view);
    drain();
    ASSERT_FALSE(hidden(view->cancelButton()));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(40, 40), QPointF(40, 40), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(40, 40), QPointF(40, 40), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->cancelButton(), &press);
    EXPECT_FALSE(view->isCancelled());
    QApplication::sendEvent(view->cancelButton(), &release);
    EXPECT_TRUE(view->isCancelled());

    auto other = makeView();
    other->setIsCancellable(true);
    other->cancelButton()->click();
    EXPECT_TRUE(other->isCancelled()) << "a programmatic click sends the action too";
}

TEST_F(CircularProgressTest, HoverIsIgnoredWhileTheWindowIsBlocked)
{
    // On screen, with the real pointer: the platform's own enter, move and leave events drive the hover.
    auto view = makeView();
    view->setIsCancellable(true);
    view->setProgress(0.5);
    view->show();
    auto pointTo = [&](QPoint local) {
        QCursor::setPos(view->mapToGlobal(local));
        drain();
    };
    pointTo(QPoint(5, 5));
    QDialog sheet(view.get());
    sheet.setWindowModality(Qt::WindowModal);
    sheet.show();
    drain();
    pointTo(QPoint(100, 100));
    EXPECT_TRUE(hidden(view->cancelButton()));
    EXPECT_FALSE(view->progressLabel()->isHidden());

    sheet.hide();
    pointTo(QPoint(5, 5));
    pointTo(QPoint(100, 100));
    EXPECT_FALSE(hidden(view->cancelButton()));
    EXPECT_TRUE(view->progressLabel()->isHidden());
    pointTo(QPoint(190, 100));
    EXPECT_TRUE(hidden(view->cancelButton())) << "moving off the button's square leaves the area";
    EXPECT_FALSE(view->progressLabel()->isHidden());
}

TEST_F(CircularProgressTest, FollowsAnAttachedProgressChangedFromAWorkerThread)
{
    auto view = makeView();
    auto progress = platform::Progress::create();
    view->setProgressInstance(progress);
    EXPECT_TRUE(view->isIndeterminate()) << "no total yet";
    EXPECT_TRUE(view->isCancellable());
    EXPECT_TRUE(view->trackingArea());

    std::vector<bool> onMainThread;
    QObject::connect(view.get(), &CircularProgress::progressChanged, view.get(),
                     [&] { onMainThread.push_back(QThread::currentThread() == qApp->thread()); });
    std::thread worker([progress] {
        progress->setTotalUnitCount(200);
        progress->setCompletedUnitCount(50);
    });
    worker.join();
    EXPECT_DOUBLE_EQ(view->progress(), 0.0) << "changes arrive through the main queue";
    ASSERT_TRUE(testsupport::waitUntil([&] { return view->progress() == 0.25; }, 2000));
    EXPECT_FALSE(view->isIndeterminate());
    EXPECT_EQ(view->progressLabel()->string(), QStringLiteral("25%"));

    std::thread finisher([progress] { progress->setCompletedUnitCount(200); });
    finisher.join();
    ASSERT_TRUE(testsupport::waitUntil([&] { return view->progress() == 1.0; }, 2000));
    EXPECT_TRUE(view->isFinished());
    EXPECT_FALSE(hidden(view->successView()));
    ASSERT_FALSE(onMainThread.empty());
    EXPECT_TRUE(std::all_of(onMainThread.begin(), onMainThread.end(), [](bool b) { return b; }));
}

TEST_F(CircularProgressTest, CancellingThroughAnAttachedProgress)
{
    auto view = makeView();
    auto progress = platform::Progress::create(10);
    bool handlerRan = false;
    progress->setCancellationHandler([&] { handlerRan = true; });
    progress->setCancellable(false);
    view->setProgressInstance(progress);
    view->cancelProgress();
    EXPECT_FALSE(progress->isCancelled()) << "the object is not cancellable";

    progress->setCancellable(true);
    view->cancelProgress();
    EXPECT_TRUE(progress->isCancelled());
    EXPECT_TRUE(handlerRan);
    EXPECT_DOUBLE_EQ(view->alphaValue(), 1.0) << "the view follows only when the change arrives";
    drain();
    EXPECT_DOUBLE_EQ(view->alphaValue(), 0.7);

    // After cancelling, reported fractions no longer move the ring.
    progress->setCompletedUnitCount(5);
    drain();
    EXPECT_DOUBLE_EQ(view->progress(), 0.0);

    // A new object is followed in place of the cancelled one.
    view->setProgressInstance(nullptr);
    auto second = platform::Progress::create(4);
    view->setProgressInstance(second);
    second->setCompletedUnitCount(1);
    drain();
    EXPECT_DOUBLE_EQ(view->progress(), 0.25);
}

TEST_F(CircularProgressTest, ADetachedProgressIsFollowedUntilAnotherIsAttached)
{
    auto view = makeView();
    auto first = platform::Progress::create(4);
    view->setProgressInstance(first);
    view->setProgressInstance(nullptr);
    EXPECT_FALSE(view->progressInstance());
    first->setCompletedUnitCount(1);
    drain();
    EXPECT_DOUBLE_EQ(view->progress(), 0.25) << "detaching keeps the observations";

    auto second = platform::Progress::create(4);
    view->setProgressInstance(second);
    first->setCompletedUnitCount(3);
    drain();
    EXPECT_DOUBLE_EQ(view->progress(), 0.25) << "attaching another ends them";
    second->setCompletedUnitCount(2);
    drain();
    EXPECT_DOUBLE_EQ(view->progress(), 0.5);
}
