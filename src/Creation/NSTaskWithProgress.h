#pragma once

#include "Platform/Process/ChildProcess.h"
#include "Platform/Runtime/NotificationCenter.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

// Runs a program without elevated rights, hands each piece of its joined output to a progress callback while
// it runs and the rest to a completion callback when it has ended, both on the main queue. Each byte reaches
// the callbacks at most once. A piece that is not valid UTF-8 by itself arrives as nothing.
class NSTaskWithProgress : public std::enable_shared_from_this<NSTaskWithProgress>
{
public:
    using Block = std::function<void(platform::ChildProcess &task, const std::optional<QString> &text)>;

    // Prepares and starts the runner; it keeps itself alive until its completion has been handed over.
    static std::shared_ptr<NSTaskWithProgress> launchedTaskWithLaunchPath(const QString &launchPath,
                                                                          const QStringList &arguments,
                                                                          Block progress, Block completion);
    static std::shared_ptr<NSTaskWithProgress> launchedTaskWithLaunchPath(const QString &launchPath,
                                                                          const QStringList &arguments,
                                                                          const QString &currentDirectoryPath,
                                                                          Block progress, Block completion);
    // Prepares a runner without starting it; an empty argument list gives the program no arguments and an
    // empty directory inherits the application's. Must be called on a thread that runs an event loop.
    static std::shared_ptr<NSTaskWithProgress> initWithLaunchPath(const QString &launchPath,
                                                                  const QStringList &arguments,
                                                                  const QString &currentDirectoryPath,
                                                                  Block progress, Block completion);
    ~NSTaskWithProgress();

    // Starts the process. A program that cannot be started ends at once with status 127 and an empty
    // remainder, so callers judging by status see the failure.
    void launch();

    const std::shared_ptr<platform::ChildProcess> &task() const { return m_task; }
    void setTask(std::shared_ptr<platform::ChildProcess> task) { m_task = std::move(task); }
    const Block &progressBlock() const { return m_progressBlock; }
    void setProgressBlock(Block block) { m_progressBlock = std::move(block); }

    // Handles one read-completion notice of the output pipe.
    void readPipe(const platform::Notification &notification);

    static std::optional<QString> decodeUtf8(const QByteArray &bytes);

private:
    NSTaskWithProgress() = default;

    std::shared_ptr<platform::ChildProcess> m_task;
    Block m_progressBlock;
    std::unique_ptr<platform::ObserverToken> m_readObserver;
};

using NSTaskWithProgressPtr = std::shared_ptr<NSTaskWithProgress>;
