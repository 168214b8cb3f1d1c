#pragma once

#include <QPointer>
#include <QProcess>
#include <QString>
#include <functional>
#include <optional>

// Runs a program without elevated rights, hands each piece of its joined output to a progress callback while
// it runs and the rest to a completion callback when it has ended, both on the main thread, in order. Each
// byte reaches the callbacks once. A piece that is not valid UTF-8 by itself arrives as nothing. The program
// ignores the terminal's signals (posix::ChildProcess): only the application stops it. A runner has no
// parent: once launched it deletes itself after its completion has been handed over (callers hold a
// QPointer); one that is never launched is its maker's to delete.
class NSTaskWithProgress : public QObject
{
    Q_OBJECT

public:
    using Block = std::function<void(QProcess &task, const std::optional<QString> &text)>;

    // Prepares and starts the runner; it keeps itself alive until its completion has been handed over.
    static NSTaskWithProgress *launchedTaskWithLaunchPath(const QString &launchPath,
                                                          const QStringList &arguments, Block progress,
                                                          Block completion);
    static NSTaskWithProgress *launchedTaskWithLaunchPath(const QString &launchPath,
                                                          const QStringList &arguments,
                                                          const QString &currentDirectoryPath, Block progress,
                                                          Block completion);
    // Prepares a runner without starting it; an empty argument list gives the program no arguments and an
    // empty directory inherits the application's. Must be called on the main thread.
    static NSTaskWithProgress *initWithLaunchPath(const QString &launchPath, const QStringList &arguments,
                                                  const QString &currentDirectoryPath, Block progress,
                                                  Block completion);
    ~NSTaskWithProgress() override;

    // Starts the process. A program that cannot be started ends at once with status 127 and an empty
    // remainder, so callers judging by status see the failure.
    void launch();

    QProcess &task() { return m_task; }
    const Block &progressBlock() const { return m_progressBlock; }
    void setProgressBlock(Block block) { m_progressBlock = std::move(block); }
    // Hands what has arrived of the output to the progress callback.
    void readPipe();
    // The device the disk utility is to find at the mount path it erases ("major:minor" of it).
    void setEraseDevice(const QString &majorMinor);

    // Exit status, 128 + the signal for a program that was killed, 127 for one that could not start.
    static int terminationStatus(const QProcess &process);
    static std::optional<QString> decodeUtf8(const QByteArray &bytes);

private:
    NSTaskWithProgress() = default;
    void end();

    QProcess m_task;
    Block m_progressBlock;
    Block m_completion;
    bool m_failedToStart = false;
    bool m_launched = false;
};
