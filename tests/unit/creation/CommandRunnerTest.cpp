#include "Creation/NSTaskWithProgress.h"
#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

struct Run
{
    QStringList pieces;
    int nothingPieces = 0;
    bool completed = false;
    std::optional<QString> rest;
    int status = -1;
    bool allOnMain = true;

    QString all() const { return pieces.join(QString()) + rest.value_or(QString()); }
};

std::shared_ptr<Run> run(const QString &program, const QStringList &arguments, const QString &cwd = {})
{
    auto r = std::make_shared<Run>();
    const QPointer<NSTaskWithProgress> runner = NSTaskWithProgress::launchedTaskWithLaunchPath(
        program, arguments, cwd,
        [r](QProcess &, const std::optional<QString> &text) {
            r->allOnMain = r->allOnMain && (QThread::currentThread() == qApp->thread());
            if (text)
                r->pieces << *text;
            else
                ++r->nothingPieces;
        },
        [r](QProcess &process, const std::optional<QString> &text) {
            r->allOnMain = r->allOnMain && (QThread::currentThread() == qApp->thread());
            r->rest = text;
            r->status = NSTaskWithProgress::terminationStatus(process);
            r->completed = true;
        });
    EXPECT_TRUE(testsupport::waitUntil([r] { return r->completed; }, 20000));
    // Let any piece queued before the completion settle (none may come after it).
    testsupport::spin(50);
    EXPECT_TRUE(runner.isNull()) << "a runner goes once its completion has been handed over";
    return r;
}

} // namespace

TEST(NSTaskWithProgress, JoinsBothStreamsAndDeliversEveryByteOnceOnTheMainThread)
{
    auto mixed = run("/bin/bash", {"-c", "echo out; echo err >&2; sleep 0.2; echo late"});
    EXPECT_EQ(mixed->all(), "out\nerr\nlate\n");
    EXPECT_EQ(mixed->status, 0);
    EXPECT_TRUE(mixed->allOnMain);

    QString expected;
    for (int i = 1; i <= 60000; ++i)
        expected += QString::number(i) + '\n';
    auto big = run("/usr/bin/seq", {"1", "60000"});
    EXPECT_EQ(big->all().size(), expected.size());
    EXPECT_EQ(big->all(), expected);
}

TEST(NSTaskWithProgress, EmptyOutputEmptyArgumentsAndWorkingDirectory)
{
    auto silent = run("/bin/true", {});
    EXPECT_EQ(silent->rest, QString());
    EXPECT_LE(silent->pieces.size(), 1);
    for (const QString &piece : silent->pieces)
        EXPECT_TRUE(piece.isEmpty());

    auto noArguments = run("/bin/echo", {});
    EXPECT_EQ(noArguments->all(), "\n");

    QTemporaryDir dir;
    auto inDir = run("/bin/pwd", {}, dir.path());
    EXPECT_EQ(inDir->all().trimmed(), QFileInfo(dir.path()).canonicalFilePath());
}

TEST(NSTaskWithProgress, InvalidUtf8AndUnstartablePrograms)
{
    auto binary = run("/bin/bash", {"-c", "printf '\\xff\\xfe'"});
    EXPECT_TRUE(binary->nothingPieces == 1 || !binary->rest.has_value())
        << "a piece that is not UTF-8 arrives as nothing";

    auto missing = run("/nonexistent/program", {"x"});
    EXPECT_TRUE(missing->completed);
    EXPECT_EQ(missing->status, 127);
    EXPECT_EQ(missing->all(), QString());

    auto failing = run("/bin/bash", {"-c", "exit 3"});
    EXPECT_EQ(failing->status, 3);
}
