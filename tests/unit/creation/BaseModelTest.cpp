#include "Creation/BaseModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace platform;

TEST(BaseModel, ReadsTheStateAnswerAndNetworkFailures)
{
    BaseModel ok(QVariantMap{{"state", "M00000"}, {"message", "ok"}});
    EXPECT_TRUE(ok.requestSuccessed());
    EXPECT_EQ(ok.errorMessage(), "ok");
    EXPECT_FALSE(BaseModel(QVariantMap{{"state", "M00001"}}).requestSuccessed());
    EXPECT_FALSE(BaseModel(QVariantMap{{"state", 0}}).requestSuccessed());
    EXPECT_FALSE(BaseModel(QVariantMap{{"state", QVariant::fromValue(nullptr)}}).requestSuccessed());
    BaseModel empty(QVariantMap{});
    EXPECT_FALSE(empty.requestSuccessed());
    EXPECT_TRUE(empty.errorMessage().isEmpty());

    auto failure = BaseModel::networkingErrorModelWithNSError(Error{"transport", -1009, "offline"});
    EXPECT_FALSE(failure->requestSuccessed());
    EXPECT_EQ(failure->errorMessage(), QStringLiteral("当前网络不可用 error code: -1009"));
}

TEST(BaseModel, SizeTextsAtTheirBoundaries)
{
    EXPECT_EQ(BaseModel::fileSizeString(512), "512.00 B");
    EXPECT_EQ(BaseModel::fileSizeString(1024), "1024.00 B");
    EXPECT_EQ(BaseModel::fileSizeString(1536), "1.50 KB");
    EXPECT_EQ(BaseModel::fileSizeString(1048575), "1024.00 KB");
    EXPECT_EQ(BaseModel::fileSizeString(1048576), "1.00 MB");
    EXPECT_EQ(BaseModel::fileSizeString(1048577), "1.00 MB");
    EXPECT_EQ(BaseModel::fileSizeString(1073741824), "1.00 GB");
    EXPECT_EQ(BaseModel::fileSizeString(-5), "-5.00 B");
    EXPECT_EQ(BaseModel::fileSizeKB(5), "05 KB");
    EXPECT_EQ(BaseModel::fileSizeKB(1024), "1024 KB");
    EXPECT_EQ(BaseModel::fileSizeKB(2048), "2.00 MB");
    EXPECT_EQ(BaseModel::fileSizeKB(1048576), "1.00 GB");
    EXPECT_EQ(BaseModel::fileSizeKB(-3), "-03 KB");
}

TEST(BaseModel, SizesOfFilesAndTrees)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("sub");
    QFile f(dir.filePath("sub/file"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(3000, 'a'));
    f.close();
    EXPECT_EQ(BaseModel::fileSizeAtPath(dir.filePath("sub/file")), 3000);
    EXPECT_EQ(BaseModel::fileSizeAtPath(dir.filePath("missing")), 0);
    EXPECT_EQ(BaseModel::sizeAtPath(dir.filePath("sub/file")), 3000);
    EXPECT_EQ(BaseModel::sizeAtPath(dir.path()), 3000 + BaseModel::fileSizeAtPath(dir.filePath("sub")));
    EXPECT_EQ(BaseModel::sizeAtPath(dir.filePath("missing")), 0);
}

TEST(BaseModel, ShellCommandsReturnStandardOutputOnly)
{
    EXPECT_EQ(BaseModel::cmdWithShell("printf 'héllo'; echo ignored >&2"), QStringLiteral("héllo"));
    EXPECT_EQ(BaseModel::cmdWithShell("exit 4"), QString());
    EXPECT_EQ(BaseModel::cmdWithShell("echo \"$0\""), "/bin/bash\n");
}
