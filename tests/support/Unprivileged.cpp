#include "support/Unprivileged.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

bool Unprivileged::isUnprivilegedRun()
{
    return qEnvironmentVariable("BOOTDRIVE_TEST_UNPRIVILEGED") == "1";
}

QString Unprivileged::skipReason()
{
    if (::geteuid() != 0)
        return QStringLiteral("needs root to start the test again as an ordinary user");
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return QStringLiteral("needs setpriv (util-linux) to drop rights");
    return unreachableForOthers(QCoreApplication::applicationFilePath());
}

QString Unprivileged::unreachableForOthers(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    while (!current.isEmpty()) {
        struct stat info
        {};
        if (::stat(QFile::encodeName(current).constData(), &info) != 0 || !(info.st_mode & S_IXOTH))
            return QStringLiteral("an ordinary user cannot reach %1 (no execute bit for others on %2)")
                .arg(path, current);
        if (current == QLatin1String("/"))
            break;
        current = QFileInfo(current).absolutePath();
    }
    return {};
}

Unprivileged::Result Unprivileged::runCurrentTestUnprivileged(const QStringList &environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BOOTDRIVE_TEST_UNPRIVILEGED"), QStringLiteral("1"));
    env.insert(QStringLiteral("BOOTDRIVE_TEST_PRIVATE_MOUNTS"), QStringLiteral("0"));
    env.insert(QStringLiteral("HOME"), QStringLiteral("/tmp"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/tmp"));
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    return TestRerun::run(
        env, QStringLiteral("setpriv"),
        {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")},
        120000);
}

} // namespace testsupport
