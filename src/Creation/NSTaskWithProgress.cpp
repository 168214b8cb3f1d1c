#include "Creation/NSTaskWithProgress.h"

#include "Platform/Runtime/Dispatch.h"
#include "Platform/Runtime/Log.h"
#include "Platform/Values/Data.h"

#include <QStringDecoder>

using platform::Dispatch;

std::shared_ptr<NSTaskWithProgress>
NSTaskWithProgress::launchedTaskWithLaunchPath(const QString &launchPath, const QStringList &arguments,
                                               Block progress, Block completion)
{
    return launchedTaskWithLaunchPath(launchPath, arguments, QString(), std::move(progress),
                                      std::move(completion));
}

std::shared_ptr<NSTaskWithProgress>
NSTaskWithProgress::launchedTaskWithLaunchPath(const QString &launchPath, const QStringList &arguments,
                                               const QString &currentDirectoryPath, Block progress,
                                               Block completion)
{
    auto runner = initWithLaunchPath(launchPath, arguments, currentDirectoryPath, std::move(progress),
                                     std::move(completion));
    runner->launch();
    return runner;
}

std::shared_ptr<NSTaskWithProgress>
NSTaskWithProgress::initWithLaunchPath(const QString &launchPath, const QStringList &arguments,
                                       const QString &currentDirectoryPath, Block progress, Block completion)
{
    std::shared_ptr<NSTaskWithProgress> runner(new NSTaskWithProgress);
    auto task = platform::ChildProcess::create();
    task->setLaunchPath(launchPath);
    if (!arguments.isEmpty())
        task->setArguments(arguments);
    if (!currentDirectoryPath.isEmpty())
        task->setCurrentDirectoryPath(currentDirectoryPath);
    runner->m_task = task;
    runner->m_progressBlock = std::move(progress);

    const std::shared_ptr<platform::FileHandle> output = task->outputHandle();
    if (output) {
        std::weak_ptr<NSTaskWithProgress> weak = runner;
        runner->m_readObserver = platform::NotificationCenter::defaultCenter().addObserver(
            platform::FileHandle::ReadCompletionNotification, output.get(),
            [weak](const platform::Notification &notification) {
                if (auto self = weak.lock())
                    self->readPipe(notification);
            });
        output->readInBackgroundAndNotify();
    }

    // The termination handler holds the runner until the completion has been queued.
    task->setTerminationHandler(
        [runner, output, completion = std::move(completion)](platform::ChildProcess &process) {
            std::shared_ptr<platform::ChildProcess> keep = process.shared_from_this();
            std::optional<QString> rest = QString();
            if (output) {
                // A background read already under way posts its chunk before this returns, so no byte is
                // lost.
                output->stopBackgroundReads();
                rest = decodeUtf8(output->readDataToEndOfFile());
            }
            // Hand the runner to the main thread, where its observer and handle were made, to end its life
            // there.
            Dispatch::main([runner, keep, rest, completion] {
                runner->m_readObserver.reset();
                if (completion)
                    completion(*keep, rest);
            });
        });
    return runner;
}

NSTaskWithProgress::~NSTaskWithProgress() = default;

void NSTaskWithProgress::launch()
{
    QString error;
    if (!m_task->launch(&error))
        platform::Log::write(error);
}

void NSTaskWithProgress::readPipe(const platform::Notification &notification)
{
    auto data = notification.userInfo ? platform::as<platform::Data>(notification.userInfo->value(
                                            platform::FileHandle::NotificationDataItem))
                                      : platform::DataPtr();
    const QByteArray chunk = data ? data->bytes() : QByteArray();
    if (m_progressBlock) {
        std::weak_ptr<NSTaskWithProgress> weak = weak_from_this();
        std::shared_ptr<platform::ChildProcess> task = m_task;
        const std::optional<QString> text = decodeUtf8(chunk);
        // The callback in force when the queued call runs is the one called.
        Dispatch::main([weak, task, text] {
            auto self = weak.lock();
            if (self && self->m_progressBlock)
                self->m_progressBlock(*task, text);
        });
    }
    if (!chunk.isEmpty() && m_task->outputHandle())
        m_task->outputHandle()->readInBackgroundAndNotify();
}

std::optional<QString> NSTaskWithProgress::decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
