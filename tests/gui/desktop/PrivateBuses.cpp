#include "PrivateBuses.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Buses
{
    QString error;
    QString session;
    QString system;
};

const char *const ConfigTemplate =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>%1</type>
  <listen>unix:path=%2</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
)";

// Starts one daemon and returns its address; the daemon ends when this process does.
QString startDaemon(const QString &program, const QString &folder, const QString &type, QString *error)
{
    const QString config = QDir(folder).filePath(type + QStringLiteral(".conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QString::fromLatin1(ConfigTemplate)
                       .arg(type, QDir(folder).filePath(type + QStringLiteral("_bus")))
                       .toUtf8()) < 0) {
        *error = QStringLiteral("cannot write %1").arg(config);
        return {};
    }
    file.close();
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        *error = QStringLiteral("no pipe");
        return {};
    }
    const QByteArray programBytes = QFile::encodeName(program);
    const QByteArray configArgument = "--config-file=" + QFile::encodeName(config);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
        ::dup2(out[1], STDOUT_FILENO);
        // Its complaints about resource limits it may not raise say nothing about the test.
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDERR_FILENO);
        ::execl(programBytes.constData(), programBytes.constData(), configArgument.constData(), "--nofork",
                "--nopidfile", "--print-address=1", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    QByteArray line;
    pollfd readable{out[0], POLLIN, 0};
    while (!line.contains('\n') && ::poll(&readable, 1, 10000) > 0) {
        char buffer[256];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, n);
    }
    ::close(out[0]);
    if (!line.contains('\n')) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        *error = QStringLiteral("dbus-daemon did not start a %1 bus").arg(type);
        return {};
    }
    return QString::fromUtf8(line.left(line.indexOf('\n'))).trimmed();
}

Buses startBuses()
{
    Buses buses;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) {
        buses.error = QStringLiteral("needs dbus-daemon (Debian package dbus-daemon)");
        return buses;
    }
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/bootdrive-buses-XXXXXX"));
    if (!folder.isValid()) {
        buses.error = QStringLiteral("no folder for the buses");
        return buses;
    }
    buses.session = startDaemon(program, folder.path(), QStringLiteral("session"), &buses.error);
    if (buses.error.isEmpty())
        buses.system = startDaemon(program, folder.path(), QStringLiteral("system"), &buses.error);
    if (!buses.error.isEmpty())
        return buses;
    qputenv("DBUS_SESSION_BUS_ADDRESS", buses.session.toUtf8());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", buses.system.toUtf8());
    qputenv("BOOTDRIVE_TEST_PRIVATE_BUSES", "1");
    return buses;
}

const Buses &buses()
{
    // A child of a test that started them reuses its parent's.
    static const Buses running = [] {
        if (qEnvironmentVariable("BOOTDRIVE_TEST_PRIVATE_BUSES") == QLatin1String("1"))
            return Buses{QString(), qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                         qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS")};
        return startBuses();
    }();
    return running;
}

} // namespace

QString PrivateBuses::start()
{
    return buses().error;
}

QString PrivateBuses::sessionAddress()
{
    return buses().session;
}

QString PrivateBuses::systemAddress()
{
    return buses().system;
}
