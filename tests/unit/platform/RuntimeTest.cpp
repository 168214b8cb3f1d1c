#include "Platform/Runtime/BundleInfo.h"
#include "Platform/Runtime/Dispatch.h"
#include "Platform/Runtime/Log.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace platform;

TEST(Dispatch, MainQueueRunsBlocksInOrderOnTheGuiThread)
{
    std::vector<int> order;
    std::atomic<bool> onMain{true};
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            Dispatch::main([&, i] {
                onMain = onMain && Dispatch::isMainThread();
                order.push_back(i);
            });
    });
    worker.join();
    EXPECT_TRUE(order.empty()) << "queued blocks never run inside the caller";
    ASSERT_TRUE(testsupport::waitUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(onMain);
}

TEST(Dispatch, GlobalRunsOffTheMainThreadAndMainAfterWaits)
{
    std::atomic<bool> ranOffMain{false};
    std::atomic<bool> done{false};
    Dispatch::global([&] {
        ranOffMain = !Dispatch::isMainThread();
        done = true;
    });
    ASSERT_TRUE(testsupport::waitUntil([&] { return done.load(); }));
    EXPECT_TRUE(ranOffMain);

    QElapsedTimer clock;
    clock.start();
    bool fired = false;
    Dispatch::mainAfter(0.2, [&] { fired = true; });
    testsupport::spin(100);
    EXPECT_FALSE(fired);
    ASSERT_TRUE(testsupport::waitUntil([&] { return fired; }, 3000));
    EXPECT_GE(clock.elapsed(), 190);
}

TEST(Log, LineCarriesTimestampProcessAndMessage)
{
    const QString line = Log::formatLine(QStringLiteral("Job is available!"));
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral(
                R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} bootdrive-tests\[\d+:\d+\] Job is available!$)"))
            .match(line)
            .hasMatch())
        << line.toStdString();
}

TEST(BundleInfo, CompiledInDictionaryHasTheBuildKeys)
{
    EXPECT_FALSE(BundleInfo::identifier().isEmpty());
    EXPECT_EQ(BundleInfo::executable(), "bootdrive");
    EXPECT_FALSE(BundleInfo::shortVersion().isEmpty());
    EXPECT_FALSE(BundleInfo::version().isEmpty());
    EXPECT_EQ(&BundleInfo::mainInfoDictionary(), &BundleInfo::mainInfoDictionary()) << "read once";
}
