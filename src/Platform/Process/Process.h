#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

// Child processes. The synchronous form reads the child's standard output to its end; standard error
// goes wherever the application's own goes.
class Process
{
public:
    // Runs the program, returns its standard output. A program that cannot be started gives empty output.
    static QByteArray runReadingStandardOutput(const QString &program, const QStringList &arguments,
                                               int *exitStatus = nullptr);
};

} // namespace platform
