#include "App/AppDelegate.h"

#include "Creation/PrivilegedTask.h"
#include "Platform/Process/Authorization.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sys/wait.h>

const QString AppDelegate::HelperLabel = QStringLiteral("app.bootdrive.BootDrive.Helper");
const QString AppDelegate::InstallToolKey = QStringLiteral("installTool");

namespace {
const QString OSStatusErrorDomain = QStringLiteral("NSOSStatusErrorDomain");
const QString HelperInstallErrorDomain = QStringLiteral("app.bootdrive.HelperInstallErrorDomain");

} // namespace

AppDelegate::AppDelegate(std::shared_ptr<QSettings> defaults, QString installRoot,
                         platform::InstallLayout layout)
    : m_defaults(std::move(defaults)), m_installRoot(std::move(installRoot)), m_layout(std::move(layout))
{}

QString AppDelegate::policyInstallPath(const QString &label)
{
    return QStringLiteral("usr/share/polkit-1/actions/%1.policy").arg(label);
}

QByteArray AppDelegate::policyText(const QString &label, const QString &helperPath)
{
    // The same action the package installs, from one template.
    QFile file(QStringLiteral(":/packaging/helper.policy.in"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll())
        .replace(QLatin1String("@BOOTDRIVE_HELPER_LABEL@"), label.toHtmlEscaped())
        .replace(QLatin1String("@BOOTDRIVE_HELPER_PATH@"), helperPath.toHtmlEscaped())
        .toUtf8();
}

bool AppDelegate::isHelperInPlace(const QString &label) const
{
    QFile policy(m_layout.policyPath(label));
    if (policy.fileName().isEmpty() || !QFileInfo(m_layout.helperPath()).isExecutable() ||
        !policy.open(QIODevice::ReadOnly))
        return false;
    return policy.readAll() == policyText(label, m_layout.helperPath());
}

void AppDelegate::initHelperTool()
{
    if (m_defaults->value(InstallToolKey, false).toBool())
        return;
    platform::Error error;
    if (blessHelperWithLabel(HelperLabel, &error)) {
        qInfo().noquote() << (QStringLiteral("Job is available!"));
        m_defaults->setValue(InstallToolKey, true);
        m_defaults->sync();
    } else {
        qInfo().noquote()
            << (QStringLiteral("Something went wrong! %1 / %2").arg(error.domain).arg(error.code));
    }
}

bool AppDelegate::blessHelperWithLabel(const QString &label, platform::Error *error)
{
    // An installed package brings the helper and its action: there is nothing to install, and so nothing to
    // ask the user for.
    if (isHelperInPlace(label))
        return true;
    const int32_t status = platform::Authorization::obtainAdministratorRight();
    if (status != platform::Authorization::Success) {
        if (error)
            *error = platform::Error{OSStatusErrorDomain, status, QStringLiteral("authorization failed")};
        return false;
    }
    // The policy text goes through a scratch file the privileged copy can read.
    QTemporaryDir scratch;
    const QString root = QDir(m_installRoot).absolutePath();
    const QString helperTarget = QDir(root).filePath(helperInstallPath());
    const QString policyFile = scratch.filePath(QStringLiteral("helper.policy"));
    QFile policy(policyFile);
    if (!scratch.isValid() || !policy.open(QIODevice::WriteOnly) ||
        policy.write(policyText(label, QStringLiteral("/") + helperInstallPath())) < 0) {
        if (error)
            *error = platform::Error{HelperInstallErrorDomain, 1, QStringLiteral("cannot stage the helper")};
        return false;
    }
    policy.close();
    QFile::setPermissions(policyFile,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    QFile::setPermissions(scratch.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                              QFile::ExeOther);

    // The helper installs itself: it runs nothing but installers' creation tools and BootDrive's own tools.
    const QString helper = platform::Authorization::helperPath();
    auto task =
        PrivilegedTask::initWithLaunchPath(helper, {QStringLiteral("--install"), helperTarget, policyFile,
                                                    QDir(root).filePath(policyInstallPath(label))});
    const int32_t launched = task->launch();
    if (launched != 0) {
        if (error)
            *error = platform::Error{OSStatusErrorDomain, launched, QStringLiteral("authorization failed")};
        return false;
    }
    const QByteArray output = task->outputFileHandle()->readAll();
    task->waitUntilExit();
    if (!task->exitedSuccessfully()) {
        if (error)
            *error = platform::Error{
                HelperInstallErrorDomain,
                WIFEXITED(task->terminationStatus()) ? WEXITSTATUS(task->terminationStatus()) : -1,
                QString::fromUtf8(output).trimmed()};
        return false;
    }
    return true;
}
