#pragma once

#include <QByteArrayList>
#include <QString>

// What the arguments ask for. No arguments, or only the toolkit's own (-platform, -style, …), open the
// window; the commands run without one.
class CommandLine
{
public:
    enum class Command
    {
        Window,
        Help,
        Version,
        List,
        Create,
        Verify,
        Invalid,
    };
    // The exit statuses of the commands.
    enum Status
    {
        Done = 0,
        Failed = 1,
        Refused = 2,    // nothing was erased: a check or the confirmation said no
        Cancelled = 3,  // a stop signal or Ctrl-C ended the run
        Usage = 64,     // the arguments were wrong
        NoDisplay = 69, // the window was asked for, but there is no display to open it on
    };

    Command command = Command::Window;
    bool json = false;
    bool all = false; // list: also the removable drives not offered, with why
    // Window: the toolkit is told which platform to use (-platform), so it needs no display found here.
    bool platformNamed = false;
    bool yes = false;
    bool verify = true;
    // Paths as the file system's bytes (verify: the volume to check, and the installer to compare it with),
    // exactly as given: a name that is not valid UTF-8 must neither be changed nor match another that merely
    // looks the same.
    QByteArray installer;
    QByteArray volume;
    QString error; // Invalid: what is wrong with the arguments

    // Reads the arguments after the program's name.
    static CommandLine parse(const QByteArrayList &arguments);
    static QString usage();
};
