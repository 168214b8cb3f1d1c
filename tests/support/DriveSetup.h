#pragma once

#include "support/LoopDrive.h"
#include "support/SampleInstaller.h"

#include <gtest/gtest.h>

// Skips the test, with the reason, where drive tests cannot run (no private mounts, no root, no loop
// devices).
#define REQUIRE_DRIVES()                                                                                     \
    if (const QString reason = testsupport::LoopDrive::skipReason(); !reason.isEmpty())                      \
    GTEST_SKIP() << reason.toStdString()

// Declares `variable`, a LoopDrive made from the arguments; the test stops, saying why, when it could not be.
#define LOOP_DRIVE(variable, ...)                                                                            \
    testsupport::LoopDrive variable(__VA_ARGS__);                                                            \
    ASSERT_TRUE(variable.isValid()) << variable.error().toStdString()

// The setup most drive tests share: `drive`, mounted at /Volumes/<name>, and `installer`, each made from its
// constructor's arguments in parentheses.
#define DRIVE_AND_INSTALLER(driveArguments, installerArguments)                                              \
    LOOP_DRIVE(drive, UNPARENTHESISED driveArguments);                                                       \
    testsupport::SampleInstaller installer installerArguments;                                               \
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString()
#define UNPARENTHESISED(...) __VA_ARGS__
