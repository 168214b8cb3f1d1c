#include "Creation/PrivilegedTask.h"

#include "support/EventLoop.h"

#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

#define REQUIRE_ROOT()                                                                                       \
    if (::geteuid() != 0)                                                                                    \
    GTEST_SKIP() << "needs root: privileged programs start directly only as root"

namespace {

// The helper runs only an installer's creation tool (or BootDrive's own tools): the programs of these tests
// are scripts standing where a bundle keeps that tool.
QString bundleTool(const QTemporaryDir &dir, const QByteArray &body, const QString &bundle = "Tool.app")
{
    const QString folder = dir.filePath(bundle + "/Contents/Resources");
    QDir().mkpath(folder);
    QFile tool(folder + "/createinstallmedia");
    if (!tool.open(QIODevice::WriteOnly) || tool.write("#!/bin/bash\n" + body + "\n") < 0)
        return {};
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    return tool.fileName();
}

} // namespace

TEST(PrivilegedTask, DescriptionAndDefaults)
{
    auto task = PrivilegedTask::initWithLaunchPath("/usr/bin/true", {"a", "b"});
    EXPECT_TRUE(task->description().endsWith(" /usr/bin/true a b")) << task->description().toStdString();
    EXPECT_FALSE(task->isRunning());
    EXPECT_EQ(task->processIdentifier(), 0);
    EXPECT_FALSE(task->outputFileHandle());
    EXPECT_EQ(task->currentDirectoryPath(), QDir::currentPath());
    task->waitUntilExit(); // nothing launched: returns at once
    EXPECT_FALSE(task->exitedSuccessfully());
}

TEST(PrivilegedTask, RunsAsRootWithArgumentsWholeAndOutputReadable)
{
    REQUIRE_ROOT();
    QTemporaryDir dir;
    const QString tool = bundleTool(dir, "echo \"$(id -u) $# $1 $(pwd)\"; echo oops >&2");
    auto task = PrivilegedTask::initWithLaunchPath(tool, {"安装 macOS/文件夹 名"});
    task->setCurrentDirectoryPath(dir.path());
    const QString before = QDir::currentPath();
    ASSERT_EQ(task->launch(), 0);
    EXPECT_EQ(QDir::currentPath(), before) << "the application's own directory never changes";
    EXPECT_TRUE(task->isRunning());
    EXPECT_GT(task->processIdentifier(), 0);
    ASSERT_TRUE(task->outputFileHandle());
    const QString output = QString::fromUtf8(task->outputFileHandle()->readAll());
    task->waitUntilExit();
    EXPECT_FALSE(task->isRunning());
    EXPECT_TRUE(task->exitedSuccessfully());
    EXPECT_EQ(
        output,
        QStringLiteral("0 1 安装 macOS/文件夹 名 %1\noops\n").arg(QFileInfo(dir.path()).canonicalFilePath()));
}

TEST(PrivilegedTask, ThePollPostsTheEndOnceAndTerminateLeavesTheProgramRunning)
{
    REQUIRE_ROOT();
    QTemporaryDir dir;
    auto task = PrivilegedTask::initWithLaunchPath(bundleTool(dir, "sleep \"$1\""), {"0.4"});
    int notices = 0;
    QObject::connect(task.get(), &PrivilegedTask::didTerminate, [&] { ++notices; });
    ASSERT_EQ(task->launch(), 0);
    task->terminate();
    testsupport::spin(200);
    EXPECT_TRUE(task->isRunning());
    EXPECT_EQ(::kill(task->processIdentifier(), 0), 0) << "terminate does not stop it";
    ASSERT_TRUE(testsupport::waitUntil([&] { return notices > 0; }, 5000));
    testsupport::spin(300);
    EXPECT_EQ(notices, 1);
    EXPECT_FALSE(task->isRunning());
    EXPECT_TRUE(task->exitedSuccessfully());

    auto failing =
        PrivilegedTask::launchedPrivilegedTaskWithLaunchPath(bundleTool(dir, "exit 7", "Failing.app"), {});
    EXPECT_FALSE(failing->isRunning());
    EXPECT_FALSE(failing->exitedSuccessfully());
    EXPECT_TRUE(WIFEXITED(failing->terminationStatus()));
    EXPECT_EQ(WEXITSTATUS(failing->terminationStatus()), 7);

    // Let go of while its status is checked: it lives to tell of the end, then goes.
    auto held = PrivilegedTask::initWithLaunchPath(bundleTool(dir, "sleep \"$1\"", "Held.app"), {"0.3"});
    const QPointer<PrivilegedTask> watched = held.get();
    int heard = 0;
    QObject::connect(held.get(), &PrivilegedTask::didTerminate, [&] { ++heard; });
    ASSERT_EQ(held->launch(), 0);
    held.reset();
    testsupport::spin(100);
    EXPECT_FALSE(watched.isNull()) << "its status check keeps it";
    ASSERT_TRUE(testsupport::waitUntil([&] { return watched.isNull(); }, 5000));
    EXPECT_EQ(heard, 1);
}

TEST(PrivilegedTask, NoArgumentsMeansAnEmptyVector)
{
    REQUIRE_ROOT();
    QTemporaryDir dir;
    auto task = PrivilegedTask::initWithLaunchPath(bundleTool(dir, "echo \"$#\""));
    ASSERT_EQ(task->launch(), 0);
    EXPECT_EQ(task->outputFileHandle()->readAll(), "0\n");
    task->waitUntilExit();
}

// Only an installer's creation tool runs, and only the file that is there: any other program, even a regular
// executable file named by its absolute path, is refused before anything runs, as are a shell, a link named
// like the tool, a relative path and a path through "..", with a status the runner tells from a missing
// privileged execution.
TEST(PrivilegedTask, TheHelperRunsNothingButACreationTool)
{
    REQUIRE_ROOT();
    QTemporaryDir dir;
    const QString ran = dir.filePath("ran");
    const QString real = bundleTool(dir, "touch " + QFile::encodeName(ran), "Real.app");
    const QString linked = dir.filePath("Linked.app/Contents/Resources/createinstallmedia");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(linked).path()) && QFile::link(real, linked));
    const QString relative = QDir::current().relativeFilePath(real);
    const QString dotted = dir.filePath("Real.app/Contents/Resources/../Resources/createinstallmedia");
    // Programs that pass every rule but the list of what may run: named like the creation tool outside a
    // bundle's Contents/Resources, like BootDrive's own tools outside the helper's folder, or a system
    // program.
    const QString loose = dir.filePath("Real.app/Contents/createinstallmedia");
    const QString ownName = dir.filePath("diskutil");
    const QString system = "/usr/bin/touch";
    for (const QString &copy : {loose, ownName})
        ASSERT_TRUE(QFile::copy(real, copy)) << copy.toStdString();
    for (const QString &stranger : {loose, ownName, system}) {
        const QFileInfo info(stranger);
        ASSERT_TRUE(info.isAbsolute() && info.isFile() && !info.isSymLink() && info.isExecutable())
            << stranger.toStdString();
    }
    for (const auto &[program, arguments] : std::vector<std::pair<QString, QStringList>>{
             {system, {ran}},
             {loose, {}},
             {ownName, {}},
             {"/bin/sh", {"-c", "touch " + ran}},
             {linked, {}},
             {relative, {}},
             {dotted, {}},
             {dir.filePath("Real.app/Contents/Resources"), {}},
         }) {
        auto task = PrivilegedTask::initWithLaunchPath(program, arguments);
        const int32_t status = task->launch();
        EXPECT_NE(status, 0) << program.toStdString();
        EXPECT_NE(status, -70001) << program.toStdString();
        EXPECT_FALSE(task->isRunning());
        task->waitUntilExit();
        EXPECT_FALSE(QFile::remove(ran)) << program.toStdString() << " ran";
    }
    auto allowed = PrivilegedTask::launchedPrivilegedTaskWithLaunchPath(real);
    EXPECT_TRUE(allowed->exitedSuccessfully());
    EXPECT_TRUE(QFileInfo::exists(ran));
}

// The helper's line on the program's end is found wherever the pipe splits it, never taken for the
// program's output, and a look-alike the program writes stays the program's.
TEST(PrivilegedTask, TheProgramsEndIsToldApartFromItsOutputWhereverThePipeSplitsIt)
{
    const QByteArray program =
        "Copying to disk: 100%\nno ended line\nbootdrive-privileged-exec: ended soon\n";
    const QByteArray stream = program + "\nbootdrive-privileged-exec: ended 143\nError: refused\n";
    for (qsizetype first = 0; first <= stream.size(); ++first) {
        for (qsizetype second = first; second <= stream.size(); second += 7) {
            auto task = PrivilegedTask::init();
            QByteArray said, after, piece;
            const auto feed = [&](const QByteArray &chunk) {
                said += task->programOutput(chunk, &piece);
                after += std::exchange(piece, {});
            };
            for (const QByteArray &chunk :
                 {stream.left(first), stream.mid(first, second - first), stream.mid(second)})
                if (!chunk.isEmpty())
                    feed(chunk);
            feed({}); // the output's end
            ASSERT_EQ(said, program) << first << " " << second;
            ASSERT_EQ(after, "Error: refused\n") << first << " " << second;
            ASSERT_TRUE(task->programHasEnded());
            ASSERT_EQ(task->programStatus(), 143);
        }
    }
    auto unended = PrivilegedTask::init();
    EXPECT_EQ(unended->programOutput("text\nbootdrive-privileged"), "text");
    EXPECT_EQ(unended->programOutput({}), "\nbootdrive-privileged") << "what was held back comes at the end";
    EXPECT_FALSE(unended->programHasEnded());
}

#include "Platform/Process/Authorization.h"
#include "support/FakePkexec.h"
#include "support/Unprivileged.h"

// As an ordinary user the task goes through pkexec and our helper; each answer of the user maps onto the
// platform's status values.
TEST(PrivilegedTaskAsUser, PkexecAnswersMapToStatusValues)
{
    using testsupport::FakePkexec;
    BOOTDRIVE_RUN_BODY_UNPRIVILEGED();
    ASSERT_NE(::geteuid(), 0u);
    {
        FakePkexec fake(FakePkexec::Mode::Allow);
        ASSERT_TRUE(fake.isValid());
        fake.putFirstOnPath();
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther);
        auto task = PrivilegedTask::initWithLaunchPath(bundleTool(dir, "echo \"$@\""), {"安装 a", "b"});
        ASSERT_EQ(task->launch(), 0);
        EXPECT_GT(task->processIdentifier(), 0);
        EXPECT_EQ(task->outputFileHandle()->readAll(), QByteArray("安装 a b\n"))
            << "the helper's marker is not part of the program's output";
        task->waitUntilExit();
        EXPECT_TRUE(task->exitedSuccessfully());
        ASSERT_EQ(fake.calls().size(), 1);
        EXPECT_EQ(fake.calls().first().arguments.first(), platform::Authorization::helperPath());
    }
    {
        FakePkexec fake(FakePkexec::Mode::Dismiss);
        fake.putFirstOnPath();
        auto task = PrivilegedTask::initWithLaunchPath("/bin/echo", {"x"});
        EXPECT_EQ(task->launch(), -60006);
        EXPECT_EQ(task->processIdentifier(), 0);
        EXPECT_FALSE(task->outputFileHandle());
        task->waitUntilExit();
        EXPECT_FALSE(task->isRunning());
    }
    {
        FakePkexec fake(FakePkexec::Mode::Deny);
        fake.putFirstOnPath();
        EXPECT_EQ(PrivilegedTask::initWithLaunchPath("/bin/echo")->launch(), -60005);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    EXPECT_EQ(PrivilegedTask::initWithLaunchPath("/bin/echo")->launch(), -70001);
    qputenv("PATH", path);
}

// An ordinary user's helper that stays serves the request after the program itself: pkexec is asked once for
// both, and the request's tool speaks after the helper's line on the program's end.
TEST(PrivilegedTaskAsUser, TheRequestAfterTheProgramNeedsNoSecondAuthorization)
{
    using testsupport::FakePkexec;
    BOOTDRIVE_RUN_BODY_UNPRIVILEGED();
    FakePkexec fake(FakePkexec::Mode::Allow);
    fake.putFirstOnPath();
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    auto task = PrivilegedTask::initWithLaunchPath(bundleTool(dir, "printf copied"));
    task->setStaysAfterProgram(true);
    ASSERT_EQ(task->launch(), 0);
    const int output = task->outputFileHandle()->handle();
    QByteArray program, after, piece;
    const auto readSome = [&] {
        char buffer[4096];
        const ssize_t n = ::read(output, buffer, sizeof buffer);
        program += task->programOutput(n > 0 ? QByteArray(buffer, n) : QByteArray(), &piece);
        after += std::exchange(piece, {});
        return n > 0;
    };
    while (!task->programHasEnded() && readSome()) {
    }
    EXPECT_EQ(program, "copied");
    EXPECT_EQ(task->programStatus(), 0);
    EXPECT_TRUE(task->isRunning()) << "the helper waits for its request";
    EXPECT_TRUE(task->handOver(
        platform::Authorization::recordCommand("/Volumes/GONE", makedev(7, 0), "BootDrive drive record\n")));
    while (readSome()) {
    }
    task->waitUntilExit();
    EXPECT_TRUE(after.startsWith("Error: ")) << after.toStdString();
    EXPECT_EQ(WEXITSTATUS(task->terminationStatus()), 2) << "the record tool's status";
    EXPECT_EQ(fake.calls().size(), 1);
}
