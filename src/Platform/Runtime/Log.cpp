#include "Platform/Runtime/Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <cstdio>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

QString processName()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationName();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), -1);
}

} // namespace

QString Log::formatLine(const QString &message)
{
    return QStringLiteral("%1 %2[%3:%4] %5")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), processName())
        .arg(static_cast<qint64>(getpid()))
        .arg(static_cast<qint64>(syscall(SYS_gettid)))
        .arg(message);
}

void Log::write(const QString &message)
{
    static std::mutex lock;
    const QByteArray line = formatLine(message).toUtf8() + '\n';
    std::lock_guard guard(lock);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace platform
