#pragma once

#include <QString>

namespace platform {

// The platform log: one line on standard error with a timestamp, the process name and id, and the message.
class Log
{
public:
    static void write(const QString &message);
    // The line as written, without the trailing newline; exposed for tests.
    static QString formatLine(const QString &message);
};

} // namespace platform
