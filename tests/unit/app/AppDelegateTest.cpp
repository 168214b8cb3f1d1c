#include "App/AppDelegate.h"

#include "support/FakePkexec.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Captures what the process writes to standard error (the platform log) while alive.
class StderrCapture
{
public:
    StderrCapture() : m_file(std::tmpfile())
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(::fileno(m_file), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QString text()
    {
        restore();
        std::rewind(m_file);
        QByteArray all;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
            all.append(buffer, static_cast<qsizetype>(n));
        return QString::fromUtf8(all);
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    std::FILE *m_file;
    int m_saved = -1;
};

} // namespace

TEST(AppDelegate, AnInstalledHelperIsNotInstalledAgainAndNothingIsLogged)
{
    QTemporaryDir root;
    auto defaults = std::make_shared<QSettings>(root.filePath("defaults.ini"), QSettings::IniFormat);
    defaults->setValue(AppDelegate::InstallToolKey, true);
    AppDelegate delegate(defaults, root.filePath("sysroot"));
    StderrCapture log;
    delegate.initHelperTool();
    EXPECT_EQ(log.text(), QString());
    EXPECT_FALSE(QFileInfo::exists(root.filePath("sysroot")));
}

TEST(AppDelegate, InstallsTheHelperAndItsPolicyOnceAsRoot)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: installing the helper runs through the privileged runner";
    QTemporaryDir root;
    auto defaults = std::make_shared<QSettings>(root.filePath("defaults.ini"), QSettings::IniFormat);
    const QString sysroot = root.filePath("sysroot");
    AppDelegate delegate(defaults, sysroot);
    StderrCapture log;
    delegate.initHelperTool();
    const QString logged = log.text();
    EXPECT_TRUE(logged.contains("Job is available!")) << logged.toStdString();
    EXPECT_TRUE(defaults->value(AppDelegate::InstallToolKey).toBool());

    const QFileInfo helper(sysroot + "/" + AppDelegate::helperInstallPath());
    ASSERT_TRUE(helper.exists());
    EXPECT_TRUE(helper.isExecutable());
    QFile policy(sysroot + "/" + AppDelegate::policyInstallPath(AppDelegate::HelperLabel));
    ASSERT_TRUE(policy.open(QIODevice::ReadOnly));
    const QByteArray text = policy.readAll();
    EXPECT_TRUE(text.contains("<action id=\"app.bootdrive.BootDrive.Helper\">"));
    EXPECT_TRUE(text.contains("/usr/local/libexec/bootdrive/bootdrive-privileged-exec"));
}

TEST(AppDelegate, AFailedInstallationIsLoggedAndTriedAgainNextTime)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: installing the helper runs through the privileged runner";
    QTemporaryDir root;
    auto defaults = std::make_shared<QSettings>(root.filePath("defaults.ini"), QSettings::IniFormat);
    // A file where a folder must go makes the copy fail.
    QFile blocker(root.filePath("sysroot"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    AppDelegate delegate(defaults, root.filePath("sysroot"));
    StderrCapture log;
    delegate.initHelperTool();
    const QString logged = log.text();
    EXPECT_TRUE(logged.contains("Something went wrong! app.bootdrive.HelperInstallErrorDomain / 1"))
        << logged.toStdString();
    EXPECT_FALSE(defaults->value(AppDelegate::InstallToolKey).toBool());
}

// An ordinary user who dismisses the credentials dialog: the failure is only logged, with the
// authorization's status, and the next start asks again.
TEST(AppDelegate, ADismissedCredentialsDialogIsLoggedAndLeavesTheSettingOff)
{
    BOOTDRIVE_RUN_BODY_UNPRIVILEGED();
    testsupport::FakePkexec fake(testsupport::FakePkexec::Mode::Dismiss);
    ASSERT_TRUE(fake.isValid());
    fake.putFirstOnPath();
    QTemporaryDir root;
    auto defaults = std::make_shared<QSettings>(root.filePath("defaults.ini"), QSettings::IniFormat);
    AppDelegate delegate(defaults, root.filePath("sysroot"));
    StderrCapture log;
    delegate.initHelperTool();
    const QString logged = log.text();
    EXPECT_TRUE(logged.contains("Something went wrong! NSOSStatusErrorDomain / -60006"))
        << logged.toStdString();
    EXPECT_FALSE(defaults->value(AppDelegate::InstallToolKey).toBool());
    EXPECT_FALSE(QFileInfo::exists(root.filePath("sysroot")));
    EXPECT_EQ(fake.calls().size(), 1);
}

// A package brings the helper with its polkit action: the first-run installation finds them in place and
// neither asks for rights nor copies anything. An action that names another helper is not this one's.
TEST(AppDelegate, AHelperInstalledWithItsActionIsFoundInPlace)
{
    testsupport::FakePkexec fake(testsupport::FakePkexec::Mode::Dismiss);
    ASSERT_TRUE(fake.isValid());
    fake.putFirstOnPath();
    QTemporaryDir prefix;
    const QString tools = prefix.filePath("libexec/bootdrive");
    ASSERT_TRUE(QDir().mkpath(tools) && QDir().mkpath(prefix.filePath("bin")) &&
                QDir().mkpath(prefix.filePath("share/polkit-1/actions")));
    for (const QString &program : {tools + "/diskutil", tools + "/bootdrive-privileged-exec"}) {
        QFile file(program);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n") > 0);
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeOther);
    }
    const platform::InstallLayout layout(prefix.filePath("bin"));
    ASSERT_TRUE(layout.isInstalled());
    EXPECT_EQ(layout.toolDirectory(), tools);
    auto writePolicy = [&](const QString &helper) {
        QFile policy(layout.policyPath(AppDelegate::HelperLabel));
        return policy.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               policy.write(AppDelegate::policyText(AppDelegate::HelperLabel, helper)) > 0;
    };

    ASSERT_TRUE(writePolicy(layout.helperPath()));
    QTemporaryDir root;
    auto defaults = std::make_shared<QSettings>(root.filePath("defaults.ini"), QSettings::IniFormat);
    AppDelegate delegate(defaults, root.filePath("sysroot"), layout);
    StderrCapture log;
    delegate.initHelperTool();
    const QString logged = log.text();
    EXPECT_TRUE(logged.contains("Job is available!")) << logged.toStdString();
    EXPECT_TRUE(defaults->value(AppDelegate::InstallToolKey).toBool());
    EXPECT_TRUE(fake.calls().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(root.filePath("sysroot")));

    ASSERT_TRUE(writePolicy("/usr/libexec/bootdrive/bootdrive-privileged-exec"));
    EXPECT_FALSE(delegate.isHelperInPlace(AppDelegate::HelperLabel));
}
