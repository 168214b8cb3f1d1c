#include "support/ProcessTable.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace testsupport {

QList<pid_t> processesMentioning(const QByteArray &text)
{
    QList<pid_t> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&number));
        if (!number || pid == ::getpid())
            continue;
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
        // A zombie's command line is empty: it no longer runs.
        if (commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(text))
            found << pid;
    }
    return found;
}

} // namespace testsupport
