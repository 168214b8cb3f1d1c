#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <sys/types.h>

namespace testsupport {

// A program run as an interactive shell runs a job, on a pseudo-terminal of its own `columns` wide. The
// terminal's session leader stands in for the shell: it puts the program in a process group of its own,
// makes that the terminal's foreground group and waits for it. Keys typed on the terminal (0x03 Ctrl-C,
// 0x1c Ctrl-\, 0x1a Ctrl-Z) then reach the program's group through the line discipline as a user's would,
// and closing the terminal hangs it up: the shell dies of it and the kernel passes SIGHUP on to the job. A
// job the terminal stopped is let go on, and the shell says "[job stopped]" on the terminal. Whatever the
// run starts stays in the session, which is how what is left of it is found.
class TerminalSession
{
public:
    struct Process
    {
        pid_t pid = 0;
        pid_t group = 0;
        pid_t foreground = 0; // the terminal's foreground group as the process sees it
        char state = 0;
        QByteArray name;     // the kernel's short command name
        quint64 ignored = 0; // bit n - 1 set when signal n is ignored
        quint64 blocked = 0; // … held back
    };

    // environment: "NAME=value" entries that replace or add to this process's.
    TerminalSession(const QString &program, const QStringList &arguments, int columns,
                    const QStringList &environment = {});
    // Kills whatever is left of the session, so that a failed test leaves nothing running.
    ~TerminalSession();
    TerminalSession(const TerminalSession &) = delete;
    TerminalSession &operator=(const TerminalSession &) = delete;

    bool isValid() const { return m_shell > 0; }
    // Reads the terminal until what it received holds `text`; false when the job ended or the time ran out
    // first.
    bool waitFor(const QByteArray &text, int timeoutMs = 120000);
    void type(const QByteArray &keys);
    // Closes the terminal's far end: the terminal hangs up.
    void hangUp();
    // Reads the terminal until the shell has ended and reaps it: the job's exit status (128 + n for a job
    // killed by signal n), or -1 when the time ran out or the shell died (of a hang-up).
    int finish(int timeoutMs = 180000);
    const QByteArray &output() const { return m_output; }
    // The processes of the session that still run (zombies and the shell left out).
    QList<Process> processes() const;
    // Their names, for a test's message.
    static QByteArray names(const QList<Process> &processes);

private:
    void read(int timeoutMs);
    bool shellEnded();

    pid_t m_shell = -1;
    int m_master = -1;
    bool m_reaped = false;
    int m_status = -1;
    QByteArray m_output;
};

} // namespace testsupport
