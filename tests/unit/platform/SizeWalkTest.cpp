#include "Platform/Posix/SizeWalk.h"

#include "Platform/Volumes/FileSystem.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::FileSystem;
using posix::SizeWalk;

namespace {

// What a plain count of a tree gives, kept while the tree is made.
struct Count
{
    int64_t bytes = 0;
    uint64_t items = 0;

    void file(const QString &path, int size)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(QByteArray(size, 'x'));
        bytes += size;
        ++items;
    }
    void folder(const QString &path)
    {
        ASSERT_TRUE(QDir().mkdir(path)) << path.toStdString();
        ++items;
    }
    // A folder grows as entries are added: its own size is read once the tree is complete.
    void addOwnSizes(const QStringList &paths)
    {
        for (const QString &path : paths)
            bytes += FileSystem::itemSize(path);
    }
};

SizeWalk::Result walk(const QString &path, uint64_t shareAfter)
{
    const int top = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const SizeWalk::Result result = SizeWalk::below(top, shareAfter);
    ::close(top);
    return result;
}

} // namespace

// A folder with more entries than one listing read takes, subfolders among its files (so the walk goes down
// in the middle of a read), a deep chain and links of each kind, walked by two threads.
TEST(SizeWalk, TwoThreadsSumWhatAPlainCountSums)
{
    QTemporaryDir dir;
    const QString root = dir.path() + "/tree";
    ASSERT_TRUE(QDir().mkdir(root));
    Count count;
    QStringList ownSized; // folders and links, whose sizes are read at the end
    const QString wide = root + "/wide";
    count.folder(wide);
    ownSized << wide;
    const QString longName(120, QLatin1Char('n'));
    for (int i = 0; i < 2000; ++i) {
        const QString path = QStringLiteral("%1/%2%3").arg(wide, longName).arg(i);
        if (i % 40 != 0) {
            count.file(path, i % 300);
            continue;
        }
        count.folder(path);
        count.folder(path + "/inner");
        count.file(path + "/inner/f", i);
        ownSized << path << path + "/inner";
    }
    QString deep = root + "/deep";
    for (int level = 0; level < 150; ++level, deep += "/d") {
        count.folder(deep);
        count.file(deep + "/f", level);
        ownSized << deep;
    }
    // A link to a folder counts with its own size and is not gone into; a dangling one counts as nothing.
    ASSERT_EQ(::symlink(QFile::encodeName(wide).constData(), QFile::encodeName(root + "/toWide").constData()),
              0);
    ASSERT_EQ(::symlink("missing", QFile::encodeName(root + "/dangling").constData()), 0);
    ownSized << root + "/toWide";
    ++count.items;
    count.addOwnSizes(ownSized);

    for (int run = 0; run < 5; ++run) {
        const SizeWalk::Result shared = walk(root, 0);
        EXPECT_EQ(shared.bytes, count.bytes);
        EXPECT_EQ(shared.items, count.items);
        EXPECT_GT(shared.handedOver, 0u);
    }
    const SizeWalk::Result alone = walk(root, count.items + 1);
    EXPECT_EQ(alone.bytes, count.bytes);
    EXPECT_EQ(alone.handedOver, 0u) << "a tree below the threshold stays on one thread";

    // The top, given as a link to the folder, is followed.
    ASSERT_EQ(
        ::symlink(QFile::encodeName(root).constData(), QFile::encodeName(dir.path() + "/top").constData()),
        0);
    EXPECT_EQ(FileSystem::totalSizeBelow(dir.path() + "/top"), count.bytes);
}

// A folder that cannot be listed and one whose entries cannot be looked at count with their own sizes; what
// they hold is passed over and the rest of the tree is measured.
TEST(SizeWalk, UnreadableFoldersAreSkippedAndTheWalkGoesOn)
{
    BOOTDRIVE_RUN_BODY_UNPRIVILEGED();
    QTemporaryDir dir;
    const QString root = dir.path();
    // Enough of each that, whatever order the file system lists them in, readable items follow unreadable
    // ones.
    Count count;
    Count hidden;
    QStringList folders;
    for (int i = 0; i < 10; ++i) {
        const QString noRead = QStringLiteral("%1/noread%2").arg(root).arg(i);
        const QString noSearch = QStringLiteral("%1/nosearch%2").arg(root).arg(i);
        count.folder(noRead);
        count.folder(noSearch);
        hidden.file(noRead + "/x", 50);
        hidden.file(noSearch + "/y", 60);
        count.file(QStringLiteral("%1/ok%2").arg(root).arg(i), 70);
        folders << noRead << noSearch;
    }
    count.addOwnSizes(folders);
    for (int i = 0; i < folders.size(); ++i)
        ASSERT_EQ(::chmod(QFile::encodeName(folders[i]).constData(), i % 2 == 0 ? 0300 : 0400), 0);

    const SizeWalk::Result result = walk(root, SizeWalk::defaultShareAfter);
    EXPECT_EQ(result.bytes, count.bytes);
    EXPECT_EQ(result.items, count.items);

    for (const QString &folder : folders)
        ::chmod(QFile::encodeName(folder).constData(), 0700);
}
