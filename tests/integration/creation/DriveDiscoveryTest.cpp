#include "Creation/DiskutilViewModel.h"
#include "support/DriveSetup.h"
#include "support/EventLoop.h"
#include "support/LoopDrive.h"

#include <QDir>
#include <QSignalSpy>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/mount.h>

using testsupport::LoopDrive;

namespace {

// The drive lists a job delivered, in order.
struct ListRecorder
{
    QSignalSpy spy;

    explicit ListRecorder(DiskutilViewModel &job) : spy(&job, &DiskutilViewModel::diskutilViewModelCompletion)
    {}
    std::vector<std::vector<DiskModelPtr>> lists() const
    {
        std::vector<std::vector<DiskModelPtr>> found;
        for (const QVariantList &report : spy)
            if (const auto result = report.at(0).value<DiskutilResult>();
                result.kind == DiskutilResult::Kind::Drives)
                found.push_back(result.drives);
        return found;
    }
    QStringList lastNames() const
    {
        QStringList names;
        if (const auto all = lists(); !all.empty())
            for (const auto &d : all.back())
                names << d->name();
        return names;
    }
};

} // namespace

TEST(DriveDiscovery, ListsVisibleVolumesBelowVolumesWithNamesAndIcons)
{
    REQUIRE_DRIVES();
    LOOP_DRIVE(drive, "My Drive 1", 32 * 1024 * 1024);
    // A hidden mount and one beside /Volumes that only shares its first letters.
    ASSERT_TRUE(QDir().mkpath("/Volumes/.hidden"));
    ASSERT_EQ(::mount("tmpfs", "/Volumes/.hidden", "tmpfs", 0, nullptr), 0);
    ASSERT_TRUE(QDir().mkpath("/VolumesX"));
    ASSERT_EQ(::mount("tmpfs", "/VolumesX", "tmpfs", 0, nullptr), 0);

    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<ListRecorder>(*job);
    job->diskutilList();
    ASSERT_EQ(recorder->lists().size(), 1u) << "the list arrives before diskutilList returns";
    const QStringList names = recorder->lastNames();
    EXPECT_TRUE(names.contains("My Drive 1"));
    EXPECT_TRUE(names.contains("VolumesX")) << "a plain prefix test";
    EXPECT_FALSE(names.contains(".hidden"));
    EXPECT_FALSE(names.contains("Volumes")) << "the folder holding the volumes is not one of them";
    const auto lists = recorder->lists();
    for (const auto &disk : lists.back()) {
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
    auto job = std::make_unique<DiskutilViewModel>();
    auto recorder = std::make_shared<ListRecorder>(*job);
    job->diskutilList();
    const size_t before = recorder->lists().size();
    {
        LOOP_DRIVE(drive, "USB 2", 32 * 1024 * 1024);
        ASSERT_TRUE(testsupport::waitUntil([&] { return recorder->lists().size() > before; }, 5000));
        EXPECT_TRUE(recorder->lastNames().contains("USB 2"));
        const auto lists = recorder->lists();
        const auto &disk = *std::find_if(lists.back().begin(), lists.back().end(),
                                         [](const DiskModelPtr &d) { return d->name() == "USB 2"; });
        EXPECT_EQ(disk->deviceNumber(), drive.deviceNumber());
        EXPECT_EQ(disk->deviceNode(), drive.device());
        EXPECT_EQ(disk->capacity(), 32u * 1024 * 1024);
        testsupport::spin(300);
    }
    EXPECT_TRUE(testsupport::waitUntil([&] { return !recorder->lastNames().contains("USB 2"); }, 5000))
        << "an unmount delivers a list without the drive";
}
