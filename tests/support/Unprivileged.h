#pragma once

#include "support/TestRerun.h"

#include <QString>
#include <QStringList>

namespace testsupport {

// Runs parts of a test as an ordinary user. The test calls runCurrentTestUnprivileged() as root: the test
// program starts again as "nobody" with only this test selected, and there isUnprivilegedRun() is true.
class Unprivileged
{
public:
    using Result = TestRerun::Result;

    static bool isUnprivilegedRun();
    // Why it cannot be done here (not root, setpriv missing, this program out of an ordinary user's reach);
    // empty when it can.
    static QString skipReason();
    // Why an ordinary user cannot run the program at the path (a folder on the way or the file itself lacks
    // the execute bit for others, as under a private home folder); empty when it can.
    static QString unreachableForOthers(const QString &path);
    // Extra environment "NAME=value" entries are passed on.
    static Result runCurrentTestUnprivileged(const QStringList &environment = {});
};

} // namespace testsupport

// First statement of a test whose body must run as an ordinary user: as root it runs the test again
// unprivileged, checks that it passed there and returns; without the means it skips.
#define BOOTDRIVE_RUN_BODY_UNPRIVILEGED()                                                                    \
    if (!testsupport::Unprivileged::isUnprivilegedRun()) {                                                   \
        if (const QString reason = testsupport::Unprivileged::skipReason(); !reason.isEmpty())               \
            GTEST_SKIP() << reason.toStdString();                                                            \
        const auto result = testsupport::Unprivileged::runCurrentTestUnprivileged();                         \
        EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();                                        \
        return;                                                                                              \
    }
