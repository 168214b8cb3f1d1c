#include "Platform/Runtime/Progress.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using platform::Progress;

TEST(Progress, DerivedValuesFollowTheCounts)
{
    auto progress = Progress::create();
    EXPECT_TRUE(progress->isIndeterminate());
    EXPECT_DOUBLE_EQ(progress->fractionCompleted(), 0.0);
    EXPECT_FALSE(progress->isFinished());
    EXPECT_TRUE(progress->isCancellable());

    progress->setTotalUnitCount(0);
    EXPECT_TRUE(progress->isIndeterminate()) << "no work out of none";
    progress->setTotalUnitCount(8);
    EXPECT_FALSE(progress->isIndeterminate());
    progress->setCompletedUnitCount(2);
    EXPECT_DOUBLE_EQ(progress->fractionCompleted(), 0.25);
    progress->setCompletedUnitCount(12);
    EXPECT_DOUBLE_EQ(progress->fractionCompleted(), 1.5) << "not capped";
    EXPECT_TRUE(progress->isFinished());
}

TEST(Progress, SignalsTellRealChangesOnly)
{
    auto progress = Progress::create(10);
    int fractions = 0, finishes = 0, indeterminates = 0;
    const QMetaObject::Connection fraction =
        QObject::connect(progress.get(), &Progress::fractionCompletedChanged, [&] { ++fractions; });
    QObject::connect(progress.get(), &Progress::finishedChanged, [&] { ++finishes; });
    QObject::connect(progress.get(), &Progress::indeterminateChanged, [&] { ++indeterminates; });

    progress->setCompletedUnitCount(5);
    progress->setCompletedUnitCount(5);
    EXPECT_EQ(fractions, 1);
    progress->setCompletedUnitCount(10);
    EXPECT_EQ(finishes, 1);
    progress->setTotalUnitCount(-1);
    EXPECT_EQ(indeterminates, 1);
    EXPECT_EQ(finishes, 2);

    QObject::disconnect(fraction);
    progress->setTotalUnitCount(20);
    EXPECT_EQ(fractions, 3) << "a dropped connection hears nothing";
}

TEST(Progress, CancelRunsTheHandlerOnceAndNotifies)
{
    auto progress = Progress::create(3);
    int handled = 0, heard = 0;
    progress->setCancellationHandler([&] { ++handled; });
    QObject::connect(progress.get(), &Progress::cancelledChanged, [&] {
        EXPECT_EQ(handled, 1) << "the handler runs first";
        ++heard;
    });
    progress->cancel();
    progress->cancel();
    EXPECT_TRUE(progress->isCancelled());
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(heard, 1);

    auto quiet = Progress::create(3);
    quiet->cancel();
    EXPECT_TRUE(quiet->isCancelled()) << "without a handler it still cancels";
}

TEST(Progress, ManyThreadsMayReportAtOnce)
{
    auto progress = Progress::create(4000);
    std::atomic<int> notifications{0};
    QObject::connect(
        progress.get(), &Progress::completedUnitCountChanged, progress.get(), [&] { ++notifications; },
        Qt::DirectConnection);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([progress, t] {
            for (int i = 1; i <= 1000; ++i)
                progress->setCompletedUnitCount(t * 1000 + i);
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_GT(notifications.load(), 0);
    EXPECT_GE(progress->completedUnitCount(), 1);
    EXPECT_LE(progress->completedUnitCount(), 4000);
    const double fraction = progress->fractionCompleted();
    EXPECT_DOUBLE_EQ(fraction, double(progress->completedUnitCount()) / 4000.0);
}
