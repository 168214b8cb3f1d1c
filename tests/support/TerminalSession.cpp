#include "support/TerminalSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

namespace {

void setDisposition(int signal, void (*handler)(int))
{
    struct sigaction action
    {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

// The shell, in the child of forkpty, where only async-signal-safe calls may be made: the job starts as a
// shell starts one, with every signal's default handling, nothing blocked, in the foreground.
[[noreturn]] void runShell(char **argv, char **envp)
{
    // Handing the terminal on from the background would stop the shell and the job otherwise.
    setDisposition(SIGTTOU, SIG_IGN);
    const pid_t job = ::fork();
    if (job == 0) {
        ::setpgid(0, 0);
        ::tcsetpgrp(STDIN_FILENO, ::getpid());
        for (int signal = 1; signal < NSIG; ++signal)
            setDisposition(signal, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(argv[0], argv, envp);
        ::_exit(127);
    }
    if (job < 0)
        ::_exit(126);
    ::setpgid(job, job);
    ::tcsetpgrp(STDIN_FILENO, job);
    int status = 0;
    for (;;) {
        if (::waitpid(job, &status, WUNTRACED) < 0) {
            if (errno == EINTR)
                continue;
            ::_exit(126);
        }
        if (!WIFSTOPPED(status))
            break;
        static const char stopped[] = "\r\n[job stopped]\r\n";
        (void)!::write(STDOUT_FILENO, stopped, sizeof stopped - 1);
        ::kill(-job, SIGCONT);
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

} // namespace

TerminalSession::TerminalSession(const QString &program, const QStringList &arguments, int columns,
                                 const QStringList &environment)
{
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
    const pid_t pid = ::forkpty(&m_master, nullptr, nullptr, &size);
    if (pid == 0)
        runShell(argv.data(), envp.data());
    m_shell = pid;
    // Programs the test starts later must not hold the terminal open.
    if (m_master >= 0) {
        ::fcntl(m_master, F_SETFL, O_NONBLOCK);
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    }
}

TerminalSession::~TerminalSession()
{
    if (m_shell <= 0)
        return;
    // Twice: a process may have started another meanwhile.
    for (int round = 0; round < 2; ++round) {
        for (const Process &process : processes())
            ::kill(process.pid, SIGKILL);
        if (!m_reaped)
            ::kill(m_shell, SIGKILL);
        while (!m_reaped && ::waitpid(m_shell, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_reaped = true;
    }
    if (m_master >= 0)
        ::close(m_master);
}

void TerminalSession::read(int timeoutMs)
{
    if (m_master < 0)
        return;
    pollfd ready{m_master, POLLIN, 0};
    if (::poll(&ready, 1, timeoutMs) <= 0)
        return;
    char buffer[4096];
    // EIO once nothing holds the terminal open any more.
    for (ssize_t n; (n = ::read(m_master, buffer, sizeof buffer)) > 0;)
        m_output.append(buffer, n);
}

bool TerminalSession::shellEnded()
{
    if (m_reaped)
        return true;
    int status = 0;
    if (::waitpid(m_shell, &status, WNOHANG) != m_shell)
        return false;
    m_reaped = true;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

bool TerminalSession::waitFor(const QByteArray &text, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_output.contains(text)) {
        if (shellEnded() || clock.elapsed() > timeoutMs) {
            read(0);
            return m_output.contains(text);
        }
        read(50);
    }
    return true;
}

void TerminalSession::type(const QByteArray &keys)
{
    if (m_master >= 0)
        (void)!::write(m_master, keys.constData(), static_cast<size_t>(keys.size()));
}

void TerminalSession::hangUp()
{
    read(0);
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

int TerminalSession::finish(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    // Not until the terminal's end: a process left over may hold it open.
    while (!shellEnded() && clock.elapsed() < timeoutMs)
        read(50);
    read(0);
    return m_reaped ? m_status : -1;
}

QList<TerminalSession::Process> TerminalSession::processes() const
{
    QList<Process> found;
    if (m_shell <= 0)
        return found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&number));
        if (!number || pid == m_shell)
            continue;
        QFile statFile(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!statFile.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = statFile.readAll();
        // "pid (name) state ppid pgrp session tty_nr tpgid …": the name may hold anything, so the fields
        // count from its last ')'.
        const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() < 6 || fields[3].toInt() != m_shell || fields[0] == "Z")
            continue;
        Process process;
        process.pid = pid;
        process.name = stat.mid(open + 1, close - open - 1);
        process.state = fields[0].front();
        process.group = fields[2].toInt();
        process.foreground = fields[5].toInt();
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray &line : status.readAll().split('\n')) {
                if (line.startsWith("SigIgn:"))
                    process.ignored = line.mid(7).trimmed().toULongLong(nullptr, 16);
                else if (line.startsWith("SigBlk:"))
                    process.blocked = line.mid(7).trimmed().toULongLong(nullptr, 16);
            }
        found << process;
    }
    return found;
}

QByteArray TerminalSession::names(const QList<Process> &processes)
{
    QByteArrayList names;
    for (const Process &process : processes)
        names << process.name + '(' + QByteArray::number(process.pid) + ')';
    return names.join(' ');
}

} // namespace testsupport
