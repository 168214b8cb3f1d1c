#include "support/SampleInstaller.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace testsupport {

QString SampleInstaller::buildDirectory()
{
    const QString configured = qEnvironmentVariable("BOOTDRIVE_BUILD_DIR");
    if (!configured.isEmpty())
        return configured;
    return QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).canonicalFilePath();
}

QString SampleInstaller::scriptPath()
{
    return QStringLiteral(BOOTDRIVE_SOURCE_DIR "/scripts/make-sample-installer");
}

SampleInstaller::SampleInstaller(const QString &name, const QString &version, const QString &size)
    : m_name(name)
{
    if (!m_dir.isValid()) {
        m_error = m_dir.errorString();
        return;
    }
    // Tests may hand the bundle to a tool running as another user.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                            QFile::ExeOther);
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("BOOTDRIVE_BUILD_DIR"), buildDirectory());
    script.setProcessEnvironment(environment);
    script.start(QStringLiteral("/bin/bash"), {scriptPath(), name, version, size, m_dir.path()});
    if (!script.waitForFinished(300000) || script.exitStatus() != QProcess::NormalExit ||
        script.exitCode() != 0) {
        m_error =
            QStringLiteral("make-sample-installer failed: %1").arg(QString::fromLocal8Bit(script.readAll()));
        return;
    }
    m_path = QDir(m_dir.path()).filePath(name + QStringLiteral(".app"));
    if (!QFileInfo(toolPath()).isExecutable())
        m_error = QStringLiteral("the sample installer has no creation tool at %1").arg(toolPath());
}

} // namespace testsupport
