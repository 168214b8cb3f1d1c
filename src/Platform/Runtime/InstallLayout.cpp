#include "Platform/Runtime/InstallLayout.h"

#include "BuildConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform {

InstallLayout InstallLayout::current()
{
    // The kernel's link names the executable itself, also when it was started through a symbolic link, and
    // needs no application object (the command line decides which one to make).
    return InstallLayout(QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path());
}

InstallLayout::InstallLayout(const QString &executableDirectory)
    : m_executableDirectory(QDir::cleanPath(executableDirectory)), m_toolDirectory(m_executableDirectory)
{
    const QString tools =
        QDir::cleanPath(m_executableDirectory + QLatin1Char('/') + QStringLiteral(BOOTDRIVE_TOOLS_FROM_BIN));
    if (QFileInfo(tools + QStringLiteral("/diskutil")).isExecutable()) {
        m_installed = true;
        m_toolDirectory = tools;
        m_dataDirectory = QDir::cleanPath(m_executableDirectory + QLatin1Char('/') +
                                          QStringLiteral(BOOTDRIVE_DATA_FROM_BIN));
    }
}

QString InstallLayout::helperPath() const
{
    return m_toolDirectory + QLatin1Char('/') + helperName();
}

QString InstallLayout::policyPath(const QString &label) const
{
    if (!m_installed)
        return {};
    return QStringLiteral("%1/polkit-1/actions/%2.policy").arg(m_dataDirectory, label);
}

void InstallLayout::putToolsFirstOnPath() const
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_toolDirectory) + (path.isEmpty() ? QByteArray() : ':' + path));
}

} // namespace platform
