#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testsupport {

// Runs the current test again in a child process (as another user, with another locale, …): the child is
// this test program with only this test selected. The result fails unless the child ran the test and it
// passed, so a child that skipped does not count as a pass.
class TestRerun
{
public:
    struct Result
    {
        int exitCode = -1;
        QString output;
    };

    // launcher: a program that starts this test program with its arguments appended (setpriv …), or empty
    // to start it directly.
    static Result run(const QProcessEnvironment &environment, const QString &launcher = {},
                      const QStringList &launcherArguments = {}, int timeoutMs = 300000);
};

} // namespace testsupport
