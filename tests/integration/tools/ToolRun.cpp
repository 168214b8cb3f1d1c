#include "ToolRun.h"

#include "support/SampleInstaller.h"
#include "support/Unprivileged.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

QString ToolRun::tool(const QString &name)
{
    return testsupport::SampleInstaller::buildDirectory() + QStringLiteral("/bin/") + name;
}

QProcessEnvironment ToolRun::environment()
{
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), testsupport::SampleInstaller::buildDirectory() +
                                                   QStringLiteral("/bin:") +
                                                   environment.value(QStringLiteral("PATH")));
    return environment;
}

ToolRun ToolRun::run(const QString &program, const QStringList &arguments,
                     const QProcessEnvironment &environment, const QByteArray &input, int timeoutMs,
                     const std::function<void()> &inChild)
{
    return RunningTool(program, arguments, environment, input, inChild).finish(timeoutMs);
}

RunningTool::RunningTool(const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &environment, const QByteArray &input,
                         const std::function<void()> &inChild)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setProcessEnvironment(environment);
    m_process.setChildProcessModifier([inChild] {
        setpgid(0, 0);
        if (inChild)
            inChild();
    });
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(10000)) {
        m_startError = m_process.errorString();
        return;
    }
    if (!input.isEmpty())
        m_process.write(input);
    m_process.closeWriteChannel();
}

RunningTool::~RunningTool()
{
    if (m_process.state() != QProcess::NotRunning)
        finish(0);
}

bool RunningTool::waitForOutput(const QString &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_output += m_process.readAll();
        if (QString::fromUtf8(m_output).contains(text))
            return true;
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired())
            return false;
        m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
}

bool RunningTool::signalGroup(int signal)
{
    const qint64 pid = m_process.processId();
    return pid > 0 && kill(static_cast<pid_t>(-pid), signal) == 0;
}

ToolRun RunningTool::finish(int timeoutMs)
{
    ToolRun result;
    if (!m_startError.isEmpty()) {
        result.output = m_startError;
        return result;
    }
    // waitForFinished() says false for a process that has already ended.
    result.finished = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
    if (!result.finished) {
        signalGroup(SIGKILL);
        m_process.waitForFinished(5000);
    }
    m_output += m_process.readAll();
    result.output = QString::fromUtf8(m_output);
    result.exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    return result;
}

QString ToolRun::setprivMissing()
{
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return QStringLiteral("setpriv is missing");
    // The tools run as "nobody" from the build folder, which must be within an ordinary user's reach.
    return testsupport::Unprivileged::unreachableForOthers(QCoreApplication::applicationFilePath());
}

bool ToolRun::kernelMountsHfsPlus()
{
    QFile filesystems(QStringLiteral("/proc/filesystems"));
    return filesystems.open(QIODevice::ReadOnly) && filesystems.readAll().contains("hfsplus");
}

ToolRun ToolRun::runAsNobody(const QString &program, const QStringList &arguments,
                             const QProcessEnvironment &environment)
{
    QStringList all{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                    QStringLiteral("--clear-groups"), program};
    all += arguments;
    return run(QStandardPaths::findExecutable(QStringLiteral("setpriv")), all, environment);
}

QString ToolRun::singleQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return quoted;
}

QStringList ToolRun::errorLines() const
{
    QStringList lines;
    for (const QString &line : output.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Error:")))
            lines << line;
    return lines;
}

namespace {

QString describe(const QString &relative, const char *what)
{
    return QStringLiteral("%1: %2\n").arg(relative, QLatin1String(what));
}

QByteArray linkTarget(const QByteArray &path)
{
    char buffer[4096];
    const ssize_t n = readlink(path.constData(), buffer, sizeof buffer);
    return n < 0 ? QByteArray() : QByteArray(buffer, n);
}

} // namespace

QString treeDifferences(const QString &expected, const QString &actual)
{
    QString differences;
    QStringList seen;
    QDirIterator walk(expected, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    QStringList paths{QString()};
    while (walk.hasNext())
        paths << QDir(expected).relativeFilePath(walk.next());
    for (const QString &relative : paths) {
        const QByteArray a = QFile::encodeName(expected + QLatin1Char('/') + relative);
        const QByteArray b = QFile::encodeName(actual + QLatin1Char('/') + relative);
        struct stat sa
        {
        }, sb{};
        if (lstat(a.constData(), &sa) != 0)
            continue;
        if (lstat(b.constData(), &sb) != 0) {
            differences += describe(relative, "missing");
            continue;
        }
        seen << relative;
        if ((sa.st_mode & S_IFMT) != (sb.st_mode & S_IFMT)) {
            differences += describe(relative, "different kind");
            continue;
        }
        if (!S_ISLNK(sa.st_mode) && sa.st_mode != sb.st_mode)
            differences += describe(relative, "different mode");
        if (sa.st_uid != sb.st_uid || sa.st_gid != sb.st_gid)
            differences += describe(relative, "different owner");
        if (sa.st_mtim.tv_sec != sb.st_mtim.tv_sec || sa.st_mtim.tv_nsec != sb.st_mtim.tv_nsec)
            differences += describe(relative, "different modification time");
        if (S_ISLNK(sa.st_mode)) {
            if (linkTarget(a) != linkTarget(b))
                differences += describe(relative, "different link target");
        } else if (S_ISREG(sa.st_mode)) {
            QFile fa(QFile::decodeName(a)), fb(QFile::decodeName(b));
            if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)) {
                differences += describe(relative, "unreadable");
                continue;
            }
            while (!fa.atEnd() || !fb.atEnd()) {
                if (fa.read(1 << 20) != fb.read(1 << 20)) {
                    differences += describe(relative, "different bytes");
                    break;
                }
            }
        }
    }
    QDirIterator extra(actual, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    while (extra.hasNext()) {
        const QString relative = QDir(actual).relativeFilePath(extra.next());
        if (!seen.contains(relative))
            differences += describe(relative, "not in the original");
    }
    return differences;
}

bool writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QByteArray readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeScript(const QString &path, const QByteArray &text)
{
    return writeText(path, text) &&
           QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
