#pragma once

#include "support/TestRerun.h"

#include <QString>
#include <QStringList>

// Runs the current test again in a child process with a locale of its own: Qt reads the locale (and
// connects to the message buses) once per process. In the child isChild() is true and the test does the
// part that needs the locale.
class ChildRun
{
public:
    using Result = testsupport::TestRerun::Result;

    static bool isChild();
    // environment: "NAME=value" entries set in the child after LANG, LANGUAGE, LC_ALL and LC_MESSAGES are
    // cleared.
    static Result runCurrentTest(const QStringList &environment);
};

// First statement of a test whose body runs in a child with the given locale variables: the parent starts
// the child, checks that it passed and returns.
#define BOOTDRIVE_RUN_BODY_IN_CHILD(...)                                                                     \
    if (!ChildRun::isChild()) {                                                                              \
        const auto result = ChildRun::runCurrentTest(QStringList{__VA_ARGS__});                              \
        EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();                                        \
        return;                                                                                              \
    }
