#include "WebImage/WebImageDiskCache.h"
#include "WebImage/WebImageMemoryCache.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QImage picture(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

void setAge(const QString &path, qint64 seconds)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        file.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime));
}

TEST(WebImageMemoryCache, KeepsTheMostRecentlyUsedWithinItsBudget)
{
    WebImageMemoryCache cache(600); // two 8 x 8 pictures
    cache.insert(QStringLiteral("a"), picture(8));
    cache.insert(QStringLiteral("b"), picture(8));
    EXPECT_FALSE(cache.image(QStringLiteral("a")).isNull());
    cache.insert(QStringLiteral("c"), picture(8));
    EXPECT_TRUE(cache.contains(QStringLiteral("a")));
    EXPECT_FALSE(cache.contains(QStringLiteral("b")));
    EXPECT_EQ(cache.totalCost(), 512);

    // A picture larger than the budget is not kept, and takes the older one under its key with it.
    cache.insert(QStringLiteral("a"), picture(16));
    EXPECT_FALSE(cache.contains(QStringLiteral("a")));
    EXPECT_EQ(cache.count(), 1);
    EXPECT_EQ(cache.totalCost(), 256);
}

class WebImageDiskCacheTest : public ::testing::Test
{
protected:
    QTemporaryDir root;
    QString folder = root.path() + QStringLiteral("/cache");
    WebImageDiskCache cache{folder, 1 << 20, 3600};
    QString key = QStringLiteral("http://127.0.0.1/a.png");
};

TEST_F(WebImageDiskCacheTest, ReadsBackOnlyWhatItWroteWhole)
{
    EXPECT_FALSE(cache.read(key).has_value());
    ASSERT_TRUE(cache.store(key, "picture bytes"));
    EXPECT_EQ(cache.read(key), QByteArray("picture bytes"));
    const QString path = cache.pathForKey(key);
    EXPECT_EQ(QFileInfo(path).dir().path(), folder);
    EXPECT_EQ(QFileInfo(path).fileName().size(), 64);
    EXPECT_NE(cache.pathForKey(key + QStringLiteral("?v=2")), path);

    const std::function<void(QByteArray &)> damages[] = {
        [](QByteArray &bytes) { bytes[bytes.size() - 1] = 'X'; }, // checksum no longer matches
        [](QByteArray &bytes) { bytes.chop(1); },                 // truncated
        [](QByteArray &bytes) { bytes = "not ours"; },            // no header
    };
    for (const auto &damage : damages) {
        ASSERT_TRUE(cache.store(key, "picture bytes"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        file.close();
        damage(bytes);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        EXPECT_FALSE(cache.read(key).has_value());
        EXPECT_FALSE(QFile::exists(path)) << "a damaged file is deleted";
    }
}

TEST_F(WebImageDiskCacheTest, ExpiredFilesCountAsAbsent)
{
    ASSERT_TRUE(cache.store(key, "old"));
    setAge(cache.pathForKey(key), 3601);
    EXPECT_FALSE(cache.read(key).has_value());
    EXPECT_FALSE(QFile::exists(cache.pathForKey(key)));
}

TEST_F(WebImageDiskCacheTest, TrimsTheOldestFilesBeyondItsBudgetAndOnlyItsOwn)
{
    const QByteArray payload(1000, 'x');
    ASSERT_TRUE(cache.store(QStringLiteral("probe"), payload));
    const qint64 fileSize = cache.totalSize();
    cache.clear();

    QFile foreign(folder + QStringLiteral("/notes.txt"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write(QByteArray(10000, 'n'));
    foreign.close();

    WebImageDiskCache small(folder, fileSize * 5 / 2, 3600);
    ASSERT_TRUE(small.store(QStringLiteral("a"), payload));
    setAge(small.pathForKey(QStringLiteral("a")), 120);
    ASSERT_TRUE(small.store(QStringLiteral("b"), payload));
    setAge(small.pathForKey(QStringLiteral("b")), 60);
    ASSERT_TRUE(small.store(QStringLiteral("c"), payload));
    EXPECT_FALSE(small.read(QStringLiteral("a")).has_value());
    EXPECT_TRUE(small.read(QStringLiteral("b")).has_value());
    EXPECT_TRUE(small.read(QStringLiteral("c")).has_value());
    EXPECT_LE(small.totalSize(), small.budget());

    small.clear();
    EXPECT_EQ(small.totalSize(), 0);
    EXPECT_TRUE(foreign.exists());
}

} // namespace
