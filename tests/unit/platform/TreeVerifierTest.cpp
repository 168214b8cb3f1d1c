#include "Platform/Volumes/TreeVerifier.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::TreeVerifier;
using Outcome = TreeVerifier::Result::Outcome;

namespace {

void write(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
}

} // namespace

// Each way a copy can differ from its original is found and named; an identical copy passes.
TEST(TreeVerifier, FindsAndNamesTheFirstDifference)
{
    struct Case
    {
        const char *what;
        std::function<void(const QString &copy)> change;
        Outcome outcome;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"identical", [](const QString &) {}, Outcome::Same, ""},
        {"content", [](const QString &c) { write(c + "/Contents/b/data", QByteArray(70000, 'y')); },
         Outcome::Different, "Contents/b/data"},
        {"size", [](const QString &c) { write(c + "/Contents/a", "longer text"); }, Outcome::Different,
         "Contents/a"},
        {"missing", [](const QString &c) { QFile::remove(c + "/Contents/b/data"); }, Outcome::Different,
         "Contents/b/data"},
        {"mode", [](const QString &c) { ::chmod(QFile::encodeName(c + "/Contents/a").constData(), 0600); },
         Outcome::Different, "Contents/a"},
        {"link target",
         [](const QString &c) {
             QFile::remove(c + "/Contents/link");
             QFile::link("b", c + "/Contents/link");
         },
         Outcome::Different, "Contents/link"},
        {"kind",
         [](const QString &c) {
             QFile::remove(c + "/Contents/a");
             QDir().mkpath(c + "/Contents/a");
         },
         Outcome::Different, "Contents/a"},
    };
    for (const Case &check : cases) {
        SCOPED_TRACE(check.what);
        QTemporaryDir original, copy;
        write(original.path() + "/Contents/a", "text");
        write(original.path() + "/Contents/b/data", QByteArray(70000, 'x'));
        ASSERT_TRUE(QFile::link("a", original.path() + "/Contents/link"));
        ASSERT_EQ(QProcess::execute("cp", {"-a", original.path() + "/.", copy.path()}), 0);
        check.change(copy.path());
        const std::atomic<bool> cancel{false};
        const auto result =
            TreeVerifier::compare(original.path().toStdString(), copy.path().toStdString(), 0, cancel);
        EXPECT_EQ(result.outcome, check.outcome) << result.path << ": " << result.reason;
        if (check.outcome != Outcome::Same) {
            EXPECT_EQ(result.path, check.path) << result.reason;
        }
    }

    QTemporaryDir original, copy;
    write(original.path() + "/a", "text");
    ASSERT_EQ(QProcess::execute("cp", {"-a", original.path() + "/.", copy.path()}), 0);
    const std::atomic<bool> cancelled{true};
    EXPECT_EQ(
        TreeVerifier::compare(original.path().toStdString(), copy.path().toStdString(), 0, cancelled).outcome,
        Outcome::Cancelled);
    struct stat info
    {};
    ::stat(QFile::encodeName(copy.path()).constData(), &info);
    const std::atomic<bool> go{false};
    EXPECT_EQ(
        TreeVerifier::compare(original.path().toStdString(), copy.path().toStdString(), info.st_dev + 1, go)
            .outcome,
        Outcome::Different)
        << "a copy on another device than the drive's is not the drive's";
}
