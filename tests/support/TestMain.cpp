#include "support/PrivateMounts.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every suite runs inside a real application object so the main queue, timers and widgets work.
int main(int argc, char **argv)
{
    // Before any thread exists: every thread and child of the test then shares the private mount namespace.
    testsupport::PrivateMounts::enter();
    // Tests talk to loopback only: anything that would reach the build's service origin goes to a closed
    // local port unless a test starts a service of its own.
    if (qEnvironmentVariableIsEmpty("BOOTDRIVE_SERVICE_URL"))
        qputenv("BOOTDRIVE_SERVICE_URL", "http://127.0.0.1:9");
    // Nor do they reach the desktop's message buses (sleep inhibitors, notices): a test that needs them
    // starts buses of its own, which its children inherit.
    if (qEnvironmentVariable("BOOTDRIVE_TEST_PRIVATE_BUSES") != QLatin1String("1")) {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bootdrive-tests/session_bus");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bootdrive-tests/system_bus");
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Nor do they read or write the user's own settings.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QApplication::setApplicationName(QStringLiteral("bootdrive-tests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
