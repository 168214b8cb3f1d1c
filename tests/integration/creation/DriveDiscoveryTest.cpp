#include "Creation/DiskutilViewModel.h"
#include "support/EventLoop.h"
#include "support/LoopDrive.h"

#include <QDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/mount.h>

using testsupport::LoopDrive;

namespace {

struct ListRecorder
{
    std::vector<std::vector<DiskModelPtr>> lists;
    std::shared_ptr<DiskutilViewModelDelegate> delegate = std::make_shared<DiskutilViewModelDelegate>();

    ListRecorder()
    {
        delegate->diskutilViewModelCompletion = [this](DiskutilViewModel &, const DiskutilResult &result) {
            if (result.kind == DiskutilResult::Kind::Drives)
                lists.push_back(result.drives);
        };
    }
    QStringList lastNames() const
    {
        QStringList names;
        if (!lists.empty())
            for (const auto &d : lists.back())
                names << d->name();
        return names;
    }
};

#define REQUIRE_DRIVES()                                                                                     \
    if (const QString reason = LoopDrive::skipReason(); !reason.isEmpty())                                   \
    GTEST_SKIP() << reason.toStdString()

} // namespace

TEST(DriveDiscovery, ListsVisibleVolumesBelowVolumesWithNamesAndIcons)
{
    REQUIRE_DRIVES();
    LoopDrive drive("My Drive 1", 32 * 1024 * 1024);
    ASSERT_TRUE(drive.isValid()) << drive.error().toStdString();
    // A hidden mount and one beside /Volumes that only shares its first letters.
    ASSERT_TRUE(QDir().mkpath("/Volumes/.hidden"));
    ASSERT_EQ(::mount("tmpfs", "/Volumes/.hidden", "tmpfs", 0, nullptr), 0);
    ASSERT_TRUE(QDir().mkpath("/VolumesX"));
    ASSERT_EQ(::mount("tmpfs", "/VolumesX", "tmpfs", 0, nullptr), 0);

    auto job = DiskutilViewModel::create();
    auto recorder = std::make_shared<ListRecorder>();
    job->setDelegate(recorder->delegate);
    job->diskutilList();
    ASSERT_EQ(recorder->lists.size(), 1u) << "the list arrives before diskutilList returns";
    const QStringList names = recorder->lastNames();
    EXPECT_TRUE(names.contains("My Drive 1"));
    EXPECT_TRUE(names.contains("VolumesX")) << "a plain prefix test";
    EXPECT_FALSE(names.contains(".hidden"));
    EXPECT_FALSE(names.contains("Volumes")) << "the folder holding the volumes is not one of them";
    for (const auto &disk : recorder->lists.back()) {
        if (disk->name() != "My Drive 1")
            continue;
        EXPECT_EQ(disk->volume(), "/Volumes/My Drive 1");
        EXPECT_EQ(disk->image().deviceIndependentSize(), QSizeF(20, 20));
        EXPECT_TRUE(disk->size().isEmpty());
        EXPECT_TRUE(disk->device().isEmpty());
    }
    ::umount("/Volumes/.hidden");
    ::umount("/VolumesX");
    QDir().rmdir("/VolumesX");
}

TEST(DriveDiscovery, MountsAndUnmountsEachDeliverANewList)
{
    REQUIRE_DRIVES();
    auto job = DiskutilViewModel::create();
    auto recorder = std::make_shared<ListRecorder>();
    job->setDelegate(recorder->delegate);
    job->diskutilList();
    const size_t before = recorder->lists.size();
    {
        LoopDrive drive("USB 2", 32 * 1024 * 1024);
        ASSERT_TRUE(drive.isValid()) << drive.error().toStdString();
        ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->lists.size() > before; }, 5000));
        EXPECT_TRUE(recorder->lastNames().contains("USB 2"));
        const auto &disk = *std::find_if(recorder->lists.back().begin(), recorder->lists.back().end(),
                                         [](const DiskModelPtr &d) { return d->name() == "USB 2"; });
        EXPECT_EQ(disk->deviceNumber(), drive.deviceNumber());
        EXPECT_EQ(disk->deviceNode(), drive.device());
        EXPECT_EQ(disk->capacity(), 32u * 1024 * 1024);
        testsupport::spin(300);
    }
    EXPECT_TRUE(testsupport::waitUntil([&] { return !recorder->lastNames().contains("USB 2"); }, 5000))
        << "an unmount delivers a list without the drive";
}
