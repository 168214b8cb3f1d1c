#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>

// Runs the disk tools as the application does (real processes, output of both streams together) and helps
// reading what they said.
struct ToolRun
{
    bool finished = false; // false: it had to be killed after the time limit
    int exitCode = -1;
    QString output;

    static QString tool(const QString &name); // <build>/bin/<name>
    static QProcessEnvironment environment(); // this process's, with <build>/bin first on PATH
    // inChild runs in the new process just before the program starts.
    static ToolRun run(const QString &program, const QStringList &arguments,
                       const QProcessEnvironment &environment = ToolRun::environment(),
                       const QByteArray &input = {}, int timeoutMs = 120000,
                       const std::function<void()> &inChild = {});
    // The same program as the user "nobody", through setpriv.
    static ToolRun runAsNobody(const QString &program, const QStringList &arguments,
                               const QProcessEnvironment &environment);
    static QString setprivMissing(); // empty when setpriv is there
    // Whether this kernel mounts HFS+; where it does not, a fake mkfs.hfsplus leads to the ext4 fallback.
    static bool kernelMountsHfsPlus();
    // The text between single quotes for bash: every ' becomes '\''.
    static QString singleQuoted(const QString &text);

    QStringList errorLines() const;
    bool says(const QString &text) const { return output.contains(text); }
};

// A tool running in the background, for tests that act while it works. Like the application's runner it
// starts the tool in a process group of its own, so signals can go to the group as the application sends
// them.
class RunningTool
{
public:
    RunningTool(const QString &program, const QStringList &arguments,
                const QProcessEnvironment &environment = ToolRun::environment(), const QByteArray &input = {},
                const std::function<void()> &inChild = {});
    ~RunningTool();
    RunningTool(const RunningTool &) = delete;
    RunningTool &operator=(const RunningTool &) = delete;

    // Waits until the output contains the text; false when the tool ended or the time ran out first.
    bool waitForOutput(const QString &text, int timeoutMs = 30000);
    bool signalGroup(int signal);
    // Waits for the end, kills the group after the time limit, and gives what the tool said.
    ToolRun finish(int timeoutMs = 120000);

private:
    QProcess m_process;
    QByteArray m_output;
    QString m_startError;
};

// Differences between two trees (kinds, modes, owners, modification times, link targets, bytes); empty when
// they are the same.
QString treeDifferences(const QString &expected, const QString &actual);
// Creates a file with the text (for "the old data" checks), and reads one back (empty when missing).
bool writeText(const QString &path, const QByteArray &text);
QByteArray readText(const QString &path);
// Creates a program (a fake mkfs) that its owner may run.
bool writeScript(const QString &path, const QByteArray &text);
