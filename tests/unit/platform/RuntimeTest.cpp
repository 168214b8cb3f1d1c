#include "Platform/Runtime/BundleInfo.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace platform;

TEST(BundleInfo, CompiledInDictionaryHasTheBuildKeys)
{
    EXPECT_FALSE(BundleInfo::identifier().isEmpty());
    EXPECT_EQ(BundleInfo::executable(), "bootdrive");
    EXPECT_FALSE(BundleInfo::shortVersion().isEmpty());
    EXPECT_FALSE(BundleInfo::version().isEmpty());
    EXPECT_EQ(&BundleInfo::mainInfoDictionary(), &BundleInfo::mainInfoDictionary()) << "read once";
}
