#include "ChildRun.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

bool ChildRun::isChild()
{
    return qEnvironmentVariable("BOOTDRIVE_TEST_CHILD") == QLatin1String("1");
}

ChildRun::Result ChildRun::runCurrentTest(const QStringList &environment)
{
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("BOOTDRIVE_TEST_CHILD"), QStringLiteral("1"));
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--gtest_filter=%1.%2").arg(info->test_suite_name(), info->name())});
    Result result;
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        result.output = QStringLiteral("timed out\n") + QString::fromUtf8(process.readAll());
        return result;
    }
    result.output = QString::fromUtf8(process.readAll());
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (result.exitCode == 0 && !result.output.contains(QStringLiteral("[  PASSED  ] 1 test")))
        result.exitCode = 1;
    return result;
}
