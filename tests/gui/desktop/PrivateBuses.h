#pragma once

#include <QString>

// A session bus and a system bus of the test's own: two dbus-daemon processes with a small configuration
// that lets anyone own any name, started once per test process and ended with it. Qt connects to a bus
// once per process, at its first use, so they must be started before anything in the process touches
// D-Bus; the suite starts them before its first test. Child processes of the test inherit them.
class PrivateBuses
{
public:
    // Starts them unless they run; empty on success, else why they cannot run here.
    static QString start();
    static QString sessionAddress();
    static QString systemAddress();
};
