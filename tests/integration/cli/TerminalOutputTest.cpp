#include "Cli/ProgressOutput.h"
#include "Cli/TerminalText.h"
#include "support/DriveSetup.h"
#include "support/EventLoop.h"
#include "support/FakePkexec.h"
#include "support/LoopDrive.h"
#include "support/ProgramRun.h"
#include "support/SampleInstaller.h"
#include "support/TerminalSession.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

using testsupport::FakePkexec;
using testsupport::LoopDrive;
using testsupport::ProgramRun;
using testsupport::SampleInstaller;
using testsupport::TerminalSession;

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
        TerminalSession session(program, arguments, columns, environment);
        TerminalRun result;
        result.status = session.finish();
        result.output = session.output();
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
// A drive read back by a check shows its share, speed and time left as the copy does, and ends at 100 %;
// a creation's verification, whose share is not reported, keeps its text and clock.
TEST(TerminalOutput, AReadBackShowsItsShareOnlyWhenItIsMeasured)
{
    qputenv("TERM", "xterm-256color");
    Pty pty(80);
    ASSERT_TRUE(pty.stream());
    ProgressOutput output(ProgressOutput::Style::Terminal, pty.stream(), pty.stream());
    output.setTotalBytes(800 * 1000 * 1000);
    output.phase("verifying", "Reading the drive back and comparing it with the installer");
    output.progress(1.0);
    output.measuredPhase("verifying", "Reading /Volumes/USB back and comparing it with its record");
    output.progress(0.2);
    QThread::msleep(300); // two measurements apart in time give a speed
    output.progress(0.6);
    output.finish("intact", "/Volumes/USB is intact");
    const Screen screen = Screen::of(pty.take());
    ASSERT_EQ(screen.lines.size(), 3) << screen.lines.join('\n').toStdString();
    EXPECT_TRUE(screen.lines[0].startsWith(QString(kDone) + " Reading the drive back"))
        << screen.lines[0].toStdString();
    EXPECT_TRUE(screen.lines[1].startsWith(QString(kDone) + " Reading [") &&
                screen.lines[1].contains("] 100%"))
        << screen.lines[1].toStdString();
    const QString reading = screen.drawn.filter(" 60%").value(0);
    EXPECT_TRUE(reading.contains("/s  ") && reading.endsWith(" left"))
        << screen.drawn.join('\n').toStdString();
    EXPECT_LE(TerminalText::columns(screen.widest()), 79) << screen.widest().toStdString();
}

TEST(TerminalOutput, ACreationOnANarrowAndAWideTerminal)
{
    REQUIRE_DRIVES();
    if (::geteuid() != 0)
        GTEST_SKIP() << "the creation tool needs root";
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "24M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    const QString bootdrive = SampleInstaller::buildDirectory() + "/bin/bootdrive";
    for (const int columns : {50, 132}) {
        SCOPED_TRACE(columns);
        LOOP_DRIVE(drive, "USB", 96 * 1024 * 1024);
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
    REQUIRE_DRIVES();
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "1M"));
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

namespace {

// The processes of a run that are in the terminal's foreground group and neither ignore nor hold back
// `signal`, bootdrive (the group's leader) left out: those would act on a key typed on the terminal now.
QList<TerminalSession::Process> reactingTo(int signal, const QList<TerminalSession::Process> &processes)
{
    const quint64 bit = quint64(1) << (signal - 1);
    QList<TerminalSession::Process> reacting;
    for (const TerminalSession::Process &process : processes)
        if (process.group == process.foreground && process.pid != process.group &&
            !((process.ignored | process.blocked) & bit))
            reacting << process;
    return reacting;
}

} // namespace

// Keys typed on the terminal while a creation runs reach bootdrive alone, which stops the run in its own
// order: Ctrl-C at spread moments (the checks, the erase, the creation tool's start, the copy, the
// verification) and Ctrl-\ end it cancelled, with no process of the run left; Ctrl-Z does not suspend it
// and is told so; a terminal closed in the middle of the copy leaves nothing running either. A password
// prompt on the terminal still works.
TEST(TerminalOutput, KeysTypedOnTheTerminalStopTheRunThroughBootdriveAlone)
{
    REQUIRE_DRIVES();
    if (::geteuid() != 0)
        GTEST_SKIP() << "the creation tool needs root";
    // Large enough, and in enough files, for the checks and the verification to take a while; the copy is
    // slowed where keys are typed during it.
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "256M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    const QString many = installer.path() + "/Contents/SharedSupport/Pieces";
    ASSERT_TRUE(QDir().mkpath(many));
    for (int i = 0; i < 20000; ++i) {
        QFile piece(QStringLiteral("%1/%2").arg(many).arg(i));
        ASSERT_TRUE(piece.open(QIODevice::WriteOnly) && piece.write("x") == 1);
    }
    LOOP_DRIVE(drive, "USB", 512 * 1024 * 1024);
    const QString bootdrive = SampleInstaller::buildDirectory() + "/bin/bootdrive";
    const QStringList arguments = {"create",   "--installer",  installer.path(),
                                   "--volume", "/Volumes/USB", "--yes"};
    const QStringList slowCopy = {"TERM=xterm", "NO_COLOR=1", "CREATEINSTALLMEDIA_RATE_LIMIT=40"};
    const QStringList fullSpeed = {"TERM=xterm", "NO_COLOR=1", "CREATEINSTALLMEDIA_RATE_LIMIT="};
    auto freshDrive = [&] {
        return drive.mountPoint() == "/Volumes/USB" ||
               (drive.unmountAll() && drive.format("USB") && drive.mountAt("/Volumes/USB"));
    };

    const struct
    {
        const char *when;
        QByteArray after; // what the terminal shows first
        int delayMs;
        QByteArray keys;
        bool slow = true;
    } moments[] = {
        {"checks", "Checking the installer", 0, "\x03"},
        {"erase begins", "Erasing /Volumes/USB", 0, "\x03"},
        {"erase, later", "Erasing /Volumes/USB", 5, "\x03"},
        {"tool starts", "Starting the creation tool", 0, "\x03"},
        {"tool starts, later", "Starting the creation tool", 3, "\x03"},
        {"tool starts, later still", "Starting the creation tool", 15, "\x03"},
        {"copy begins", "Copying [", 0, "\x03"},
        {"copy", "Copying [", 800, "\x03"},
        {"verification begins", "Reading the drive back", 0, "\x03", false},
        {"verification", "Reading the drive back", 50, "\x03", false},
        {"copy, Ctrl-\\", "Copying [", 500, "\x1c"},
        {"copy, Ctrl-Z then Ctrl-C", "Copying [", 500, "\x1a\x03"},
    };
    for (const auto &moment : moments) {
        SCOPED_TRACE(moment.when);
        ASSERT_TRUE(freshDrive()) << drive.error().toStdString();
        TerminalSession run(bootdrive, arguments, 100, moment.slow ? slowCopy : fullSpeed);
        ASSERT_TRUE(run.waitFor(moment.after)) << run.output().toStdString();
        QThread::msleep(moment.delayMs);
        for (const char key : moment.keys) {
            const int signal = key == '\x03' ? SIGINT : key == '\x1c' ? SIGQUIT : SIGTSTP;
            const auto reacting = reactingTo(signal, run.processes());
            EXPECT_TRUE(reacting.isEmpty()) << TerminalSession::names(reacting).toStdString();
        }
        run.type(moment.keys);
        EXPECT_EQ(run.finish(), 3) << run.output().toStdString();
        const auto left = run.processes();
        EXPECT_TRUE(left.isEmpty()) << TerminalSession::names(left).toStdString();
        EXPECT_FALSE(run.output().contains("[job stopped]")) << run.output().toStdString();
        EXPECT_EQ(run.output().contains("cannot be paused"), moment.keys.contains('\x1a'))
            << run.output().toStdString();
    }

    ASSERT_TRUE(freshDrive()) << drive.error().toStdString();
    TerminalSession closed(bootdrive, arguments, 100, slowCopy);
    ASSERT_TRUE(closed.waitFor("Copying [")) << closed.output().toStdString();
    QThread::msleep(500);
    pid_t job = 0;
    for (const TerminalSession::Process &process : closed.processes())
        if (process.pid == process.foreground)
            job = process.pid;
    ASSERT_GT(job, 0);
    closed.hangUp();
    closed.finish();
    // The shell died of the hang-up; bootdrive, passed the SIGHUP by the kernel, is waited for by its end.
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            const auto running = closed.processes();
            return std::none_of(running.begin(), running.end(), [&](const auto &p) { return p.pid == job; });
        },
        60000));
    const auto left = closed.processes();
    EXPECT_TRUE(left.isEmpty()) << TerminalSession::names(left).toStdString();

    // The programs stay where a password can still be asked for on the terminal: the erase's pkexec asks
    // there (the disk utility takes the user's way when told to), and the run goes on once it is typed.
    FakePkexec pkexec(FakePkexec::Mode::AskOnTerminal);
    ASSERT_TRUE(pkexec.isValid());
    ASSERT_TRUE(freshDrive()) << drive.error().toStdString();
    TerminalSession asked(
        bootdrive, arguments, 100,
        fullSpeed + QStringList{"PATH=" + pkexec.pathWithFakeFirst(), "BOOTDRIVE_DISKUTIL_ASSUME_USER=1"});
    ASSERT_TRUE(asked.waitFor("Password: ")) << asked.output().toStdString();
    asked.type("secret\n");
    EXPECT_EQ(asked.finish(), 0) << asked.output().toStdString();
    EXPECT_EQ(pkexec.calls().size(), 1);
}
