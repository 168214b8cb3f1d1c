#include "Creation/NSTaskWithProgress.h"

#include "Platform/Posix/ChildProcess.h"

#include <QDebug>
#include <QStringDecoder>

NSTaskWithProgress *NSTaskWithProgress::launchedTaskWithLaunchPath(const QString &launchPath,
                                                                   const QStringList &arguments,
                                                                   Block progress, Block completion)
{
    return launchedTaskWithLaunchPath(launchPath, arguments, QString(), std::move(progress),
                                      std::move(completion));
}

NSTaskWithProgress *NSTaskWithProgress::launchedTaskWithLaunchPath(const QString &launchPath,
                                                                   const QStringList &arguments,
                                                                   const QString &currentDirectoryPath,
                                                                   Block progress, Block completion)
{
    auto runner = initWithLaunchPath(launchPath, arguments, currentDirectoryPath, std::move(progress),
                                     std::move(completion));
    runner->launch();
    return runner;
}

NSTaskWithProgress *NSTaskWithProgress::initWithLaunchPath(const QString &launchPath,
                                                           const QStringList &arguments,
                                                           const QString &currentDirectoryPath,
                                                           Block progress, Block completion)
{
    auto *runner = new NSTaskWithProgress;
    QProcess &task = runner->m_task;
    task.setProgram(launchPath);
    task.setArguments(arguments);
    if (!currentDirectoryPath.isEmpty())
        task.setWorkingDirectory(currentDirectoryPath);
    task.setProcessChannelMode(QProcess::MergedChannels);
    task.setStandardInputFile(QProcess::nullDevice());
    // The program starts with no signal held back, whatever this process holds back, and leaves the
    // terminal's signals to the application, which stops it in its own order.
    task.setChildProcessModifier([] { posix::ChildProcess::prepare(); });
    runner->m_progressBlock = std::move(progress);
    runner->m_completion = std::move(completion);

    NSTaskWithProgress *self = runner;
    QObject::connect(&task, &QProcess::readyReadStandardOutput, &task, [self] { self->readPipe(); });
    QObject::connect(&task, &QProcess::finished, &task, [self] { self->end(); });
    QObject::connect(&task, &QProcess::errorOccurred, &task, [self](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            qInfo().noquote() << QStringLiteral("%1: %2").arg(self->m_task.program(),
                                                              self->m_task.errorString());
            self->m_failedToStart = true;
            self->end();
        }
    });
    return runner;
}

NSTaskWithProgress::~NSTaskWithProgress() = default;

void NSTaskWithProgress::setEraseDevice(const QString &majorMinor)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("BOOTDRIVE_ERASE_DEVICE"), majorMinor);
    m_task.setProcessEnvironment(environment);
}

void NSTaskWithProgress::readPipe()
{
    const QByteArray chunk = m_task.readAllStandardOutput();
    if (!chunk.isEmpty() && m_progressBlock)
        m_progressBlock(m_task, decodeUtf8(chunk));
}

void NSTaskWithProgress::launch()
{
    m_launched = true;
    const posix::ChildProcess::Forking forking;
    m_task.start();
}

void NSTaskWithProgress::end()
{
    if (!m_launched)
        return;
    m_launched = false;
    // The rest of the output is read at the end and handed over last.
    const std::optional<QString> rest = decodeUtf8(m_task.readAllStandardOutput());
    if (m_completion)
        m_completion(m_task, rest);
    // Not inside the process's own signal: the runner goes once the event loop has returned from it.
    deleteLater();
}

int NSTaskWithProgress::terminationStatus(const QProcess &process)
{
    if (process.error() == QProcess::FailedToStart)
        return 127;
    if (process.exitStatus() == QProcess::CrashExit)
        return 128 + process.exitCode();
    return process.exitCode();
}

std::optional<QString> NSTaskWithProgress::decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
