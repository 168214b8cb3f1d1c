#include "Cli/ProgressOutput.h"
#include "Cli/TerminalText.h"
#include "support/LoopDrive.h"
#include "support/ProgramRun.h"
#include "support/SampleInstaller.h"

#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::LoopDrive;
using testsupport::ProgramRun;
using testsupport::SampleInstaller;

namespace {

const QChar kDone(0x2713), kFailed(0x2717);

// What a terminal of `columns` shows for the bytes written to it: every state a line was drawn in (the
// pieces between carriage returns, colours taken out), and each line as it was left.
struct Screen
{
    QStringList drawn;
    QStringList lines;
    bool coloured = false;

    static Screen of(const QByteArray &bytes)
    {
        Screen screen;
        QString text = QString::fromUtf8(bytes);
        static const QRegularExpression colour(QStringLiteral("\x1b\\[[0-9;]*m"));
        screen.coloured = text.contains(colour);
        text.remove(colour).remove(QStringLiteral("\x1b[K"));
        // The terminal turns each line end into "\r\n".
        for (QString line : text.split(QLatin1Char('\n'))) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            const QStringList states = line.split(QLatin1Char('\r'));
            for (const QString &state : states)
                if (!state.isEmpty())
                    screen.drawn << state;
            if (!states.last().isEmpty())
                screen.lines << states.last();
        }
        return screen;
    }

    // The widest state of a status line (the lines that redraw themselves; a closing message may wrap).
    QString widest() const
    {
        static const QString marks = QStringLiteral("|/-\\") + kDone + kFailed + QChar(0x2013);
        QString widest;
        for (const QString &state : drawn)
            if (marks.contains(state.front()) && TerminalText::columns(state) > TerminalText::columns(widest))
                widest = state;
        return widest;
    }
    QString lineWith(const QString &text) const
    {
        for (const QString &line : lines)
            if (line.contains(text))
                return line;
        return {};
    }
};

// A pseudo-terminal of a given width whose far end a test reads.
class Pty
{
public:
    explicit Pty(int columns)
    {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = static_cast<unsigned short>(columns);
        if (::openpty(&m_master, &m_slave, nullptr, nullptr, &size) == 0) {
            ::fcntl(m_master, F_SETFL, O_NONBLOCK);
            m_stream = ::fdopen(::dup(m_slave), "w");
        }
    }
    ~Pty()
    {
        if (m_stream)
            std::fclose(m_stream);
        for (int fd : {m_master, m_slave})
            if (fd >= 0)
                ::close(fd);
    }
    std::FILE *stream() const { return m_stream; }
    // Everything written so far (read as it comes, so the terminal's buffer never fills).
    QByteArray take()
    {
        char buffer[4096];
        for (ssize_t n; (n = ::read(m_master, buffer, sizeof buffer)) > 0;)
            m_seen.append(buffer, n);
        return m_seen;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::FILE *m_stream = nullptr;
    QByteArray m_seen;
};

// Runs a program on a terminal of its own, `columns` wide, to its end; what the terminal received (both
// streams) and the exit status.
struct TerminalRun
{
    int status = -1;
    QByteArray output;

    static TerminalRun run(const QString &program, const QStringList &arguments, int columns,
                           const QStringList &environment)
    {
        TerminalRun result;
        QByteArrayList args{QFile::encodeName(program)}, env;
        for (const QString &argument : arguments)
            args << QFile::encodeName(argument);
        QStringList variables = QProcessEnvironment::systemEnvironment().toStringList();
        for (const QString &variable : environment) {
            const QString name = variable.section(QLatin1Char('='), 0, 0) + QLatin1Char('=');
            variables.removeIf([&](const QString &old) { return old.startsWith(name); });
            variables << variable;
        }
        for (const QString &variable : variables)
            env << variable.toLocal8Bit();
        // Everything the child needs is made before the fork.
        std::vector<char *> argv, envp;
        for (QByteArray &a : args)
            argv.push_back(a.data());
        for (QByteArray &e : env)
            envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        winsize size{};
        size.ws_row = 24;
        size.ws_col = static_cast<unsigned short>(columns);
        int master = -1;
        const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
        if (pid == 0) {
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        if (pid < 0)
            return result;
        char buffer[4096];
        for (;;) {
            pollfd ready{master, POLLIN, 0};
            if (::poll(&ready, 1, 180000) <= 0)
                break;
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                result.output.append(buffer, n);
            else if (n == 0 || errno != EINTR)
                break; // EIO: the program and all it started have closed the terminal
        }
        ::close(master);
        int status = 0;
        ::waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }
};

// A run of phases as the command line reports one: a check, an erase, a copy that the tool ends before
// the last measurement reached the end, a verification, and the end.
QByteArray reportARun(Pty &pty, const QString &outcome)
{
    ProgressOutput output(ProgressOutput::Style::Terminal, pty.stream(), pty.stream());
    output.setTotalBytes(800 * 1000 * 1000);
    output.phase("checking", "Checking the installer and the drive");
    output.tick();
    output.phase("erasing", QString::fromUtf8("Erasing /Volumes/我的移动硬盘备份盘 (/dev/sdb1 · 16.00 GB)"));
    output.phase("creating", "Putting Install macOS Mojave on the drive");
    output.progress(0.10);
    QThread::msleep(300); // two measurements apart in time give a speed
    output.progress(0.95);
    output.tick();
    pty.take();
    output.progress(1.0);
    output.phase("verifying", "Reading the drive back and comparing it with the installer");
    output.finish(outcome, outcome == "done" ? "The installer drive is ready at /Volumes/Install macOS Mojave"
                                             : "the drive holds no complete installer");
    return pty.take();
}

} // namespace

// Narrow and wide, every state of every line fits the terminal, the bar gives way to the text, each phase
// that is over keeps a mark instead of its spinner, and the copy ends at 100 %.
TEST(TerminalOutput, LinesFitTheTerminalAndFinishedPhasesKeepAMark)
{
    qputenv("TERM", "xterm-256color");
    qunsetenv("NO_COLOR");
    for (const int columns : {50, 120}) {
        SCOPED_TRACE(columns);
        Pty pty(columns);
        ASSERT_TRUE(pty.stream());
        const Screen screen = Screen::of(reportARun(pty, "done"));
        EXPECT_LE(TerminalText::columns(screen.widest()), columns - 1) << screen.widest().toStdString();
        EXPECT_TRUE(screen.coloured);
        ASSERT_EQ(screen.lines.size(), 5) << screen.lines.join('\n').toStdString();
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(screen.lines[i].startsWith(QString(kDone) + ' ')) << screen.lines[i].toStdString();
        EXPECT_EQ(screen.lines[4], "The installer drive is ready at /Volumes/Install macOS Mojave");
        // The message gives way, the clock stays.
        EXPECT_EQ(screen.lines[1].contains(QChar(0x2026)), columns == 50) << screen.lines[1].toStdString();
        EXPECT_TRUE(screen.lines[1].endsWith("  0:00")) << screen.lines[1].toStdString();

        const QString copied = screen.lines[2];
        EXPECT_TRUE(copied.contains("] 100%  762.94 MB in 0:0")) << copied.toStdString();
        const QString copying = screen.drawn.filter("95%").value(0);
        ASSERT_FALSE(copying.isEmpty()) << screen.drawn.join('\n').toStdString();
        // Nothing is cut off: the bar makes room for the speed and the time left.
        EXPECT_TRUE(copying.contains("/s  ") && copying.endsWith(" left")) << copying.toStdString();
        const qsizetype bar = copying.indexOf(']') - copying.indexOf('[') - 1;
        if (columns == 50) {
            EXPECT_GE(bar, 8) << copying.toStdString();
            EXPECT_LT(bar, 30) << copying.toStdString();
        } else {
            EXPECT_EQ(bar, 30) << copying.toStdString();
        }
    }

    // A failed run marks the phase it failed in; NO_COLOR takes the colours away.
    qputenv("NO_COLOR", "1");
    Pty pty(80);
    const Screen failed = Screen::of(reportARun(pty, "failed"));
    qunsetenv("NO_COLOR");
    EXPECT_FALSE(failed.coloured);
    ASSERT_EQ(failed.lines.size(), 5) << failed.lines.join('\n').toStdString();
    EXPECT_TRUE(failed.lines[3].startsWith(QString(kFailed) + " Reading the drive back"))
        << failed.lines[3].toStdString();
    EXPECT_EQ(failed.lines[4], "bootdrive: the drive holds no complete installer");
}

// The real command on a terminal: each phase ends with its mark, the copy at 100 %, run as root it says it
// starts the tool rather than waiting for rights, nothing wraps at 50 columns, and colour follows NO_COLOR.
TEST(TerminalOutput, ACreationOnANarrowAndAWideTerminal)
{
    if (const QString reason = LoopDrive::skipReason(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    if (::geteuid() != 0)
        GTEST_SKIP() << "the creation tool needs root";
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "24M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    const QString bootdrive = SampleInstaller::buildDirectory() + "/bin/bootdrive";
    for (const int columns : {50, 132}) {
        SCOPED_TRACE(columns);
        LoopDrive drive("USB", 96 * 1024 * 1024);
        ASSERT_TRUE(drive.isValid()) << drive.error().toStdString();
        const bool colour = columns == 50;
        const TerminalRun run = TerminalRun::run(
            bootdrive, {"create", "--installer", installer.path(), "--volume", "/Volumes/USB", "--yes"},
            columns,
            {"TERM=xterm-256color", colour ? "NO_COLOR=" : "NO_COLOR=1", "CREATEINSTALLMEDIA_RATE_LIMIT=12"});
        EXPECT_EQ(run.status, 0) << run.output.toStdString();
        const Screen screen = Screen::of(run.output);
        EXPECT_EQ(screen.coloured, colour);
        EXPECT_LE(TerminalText::columns(screen.widest()), columns - 1) << screen.widest().toStdString();
        const QStringList expected = {"Checking the installer", "Erasing /Volumes/USB",
                                      "Starting the creation tool as root", "Copying [",
                                      "Reading the drive back"};
        ASSERT_EQ(screen.lines.size(), expected.size() + 1) << screen.lines.join('\n').toStdString();
        for (qsizetype i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(screen.lines[i].startsWith(QString(kDone) + ' ' + expected[i]))
                << screen.lines[i].toStdString();
        EXPECT_TRUE(screen.lines[3].contains("] 100%")) << screen.lines[3].toStdString();
        EXPECT_EQ(screen.lines.last(),
                  "The installer drive is ready at /Volumes/Install macOS Mojave (verified)");
        EXPECT_FALSE(run.output.contains("administrator rights"));
    }
}

// A creation tool's failure reaches the user once, in the command line's words, without the tool's own
// "Error:" before it.
TEST(TerminalOutput, AToolsErrorIsToldOnce)
{
    if (const QString reason = LoopDrive::skipReason(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    LoopDrive drive("USB", 64 * 1024 * 1024);
    ASSERT_TRUE(drive.isValid()) << drive.error().toStdString();
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "1M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    QFile tool(installer.toolPath());
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly | QIODevice::Truncate));
    tool.write("#!/bin/sh\necho 'Error: the disk went away'\nexit 1\n");
    tool.close();
    const ProgramRun run = ProgramRun::run(
        SampleInstaller::buildDirectory() + "/bin/bootdrive",
        {"create", "--installer", installer.path(), "--volume", "/Volumes/USB", "--yes", "--json"});
    EXPECT_EQ(run.exitCode, 1) << run.describe().toStdString();
    EXPECT_TRUE(run.err.startsWith("bootdrive: the disk went away; the drive at /Volumes/"))
        << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("Error")) << run.err.toStdString();
    EXPECT_TRUE(run.jsonLines().last()["message"].toString().startsWith("the disk went away"));
}
