#include "support/TestRerun.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

namespace testsupport {

TestRerun::Result TestRerun::run(const QProcessEnvironment &environment, const QString &launcher,
                                 const QStringList &launcherArguments, int timeoutMs)
{
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    const QStringList arguments = {
        QCoreApplication::applicationFilePath(),
        QStringLiteral("--gtest_filter=%1.%2").arg(info->test_suite_name(), info->name())};
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (launcher.isEmpty())
        process.start(arguments.first(), arguments.mid(1));
    else
        process.start(launcher, launcherArguments + arguments);
    Result result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.output = QStringLiteral("timed out\n") + QString::fromUtf8(process.readAll());
        return result;
    }
    result.output = QString::fromUtf8(process.readAll());
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (!result.output.contains(QStringLiteral("[  PASSED  ] 1 test")))
        result.exitCode = result.exitCode == 0 ? 1 : result.exitCode;
    return result;
}

} // namespace testsupport
