#include "Creation/DiskutilViewModel.h"

#include "Creation/NSTaskWithProgress.h"
#include "Platform/Process/Authorization.h"
#include "Platform/Runtime/Dispatch.h"
#include "Platform/Runtime/Log.h"
#include "Platform/Values/Data.h"
#include "Platform/Volumes/FileSystem.h"
#include "Platform/Volumes/InstallerMedia.h"
#include "Platform/Volumes/MountMonitor.h"
#include "Platform/Volumes/MountTable.h"
#include "Platform/Volumes/TreeVerifier.h"

#include <QFile>
#include <QRandomGenerator>
#include <cmath>
#include <sys/sysmacros.h>

using platform::Dispatch;

std::shared_ptr<DiskutilViewModel> DiskutilViewModel::create()
{
    std::shared_ptr<DiskutilViewModel> job(new DiskutilViewModel);
    job->m_launchPath = QStringLiteral("/bin/bash");
    std::weak_ptr<DiskutilViewModel> weak = job;
    job->m_mountObserver = platform::NotificationCenter::workspaceCenter().addObserver(
        platform::MountMonitor::DidMountNotification, nullptr,
        [weak](const platform::Notification &notification) {
            if (auto self = weak.lock())
                self->deviceMounted(notification);
        });
    job->m_unmountObserver = platform::NotificationCenter::workspaceCenter().addObserver(
        platform::MountMonitor::DidUnmountNotification, nullptr,
        [weak](const platform::Notification &notification) {
            if (auto self = weak.lock())
                self->deviceUnmounted(notification);
        });
    job->m_terminateObserver = platform::NotificationCenter::defaultCenter().addObserver(
        PrivilegedTask::DidTerminateNotification, nullptr,
        [weak](const platform::Notification &notification) {
            if (auto self = weak.lock())
                self->taskDidTerminateNotification(notification);
        });
    return job;
}

DiskutilViewModel::~DiskutilViewModel()
{
    if (m_timer)
        m_timer->invalidate();
}

void DiskutilViewModel::reportProgress(double progress)
{
    auto delegate = m_delegate.lock();
    if (delegate && delegate->respondsToProgress())
        delegate->diskutilViewModelProgress(*this, progress);
}

void DiskutilViewModel::reportCompletion(const DiskutilResult &result)
{
    auto delegate = m_delegate.lock();
    if (delegate && delegate->respondsToCompletion())
        delegate->diskutilViewModelCompletion(*this, result);
}

void DiskutilViewModel::reportFailure(const Failure &failure)
{
    m_lastFailure = failure;
    if (m_cancelRequested && failure.kind != Failure::Kind::ToolStillRunning) {
        // Whatever else went wrong on the way, the user stopped the run.
        m_lastFailure.kind = Failure::Kind::Cancelled;
    }
    if (m_phase == DiskutilPhase::Authorizing || m_phase == DiskutilPhase::Creating ||
        m_phase == DiskutilPhase::Verifying) {
        m_lastFailure.driveIncomplete = true;
        followDrive();
        // A drive the tool wrote to but that did not end up finished and verified must not look finished.
        // A tool that still runs is left alone.
        const platform::MountEntry mount = platform::MountTable::volumeOfDevice(m_busyDevice);
        if (m_phase != DiskutilPhase::Authorizing && failure.kind != Failure::Kind::ToolStillRunning &&
            !mount.mountPointBytes.isEmpty() &&
            !platform::InstallerMedia::markUnfinished(mount.mountPointBytes))
            platform::Log::write(QStringLiteral("Could not mark %1 as unfinished").arg(mount.mountPoint));
    }
    m_busyDevice = 0;
    stopTimer();
    m_finished = true;
    enterPhase(DiskutilPhase::Idle);
    reportCompletion(false);
}

void DiskutilViewModel::enterPhase(DiskutilPhase phase)
{
    if (phase == m_phase)
        return;
    m_phase = phase;
    if (phase == DiskutilPhase::Idle)
        m_cancelRequested = false;
    auto delegate = m_delegate.lock();
    if (delegate && delegate->respondsToPhase())
        delegate->diskutilViewModelPhase(*this, phase);
}

void DiskutilViewModel::stopTimer()
{
    if (m_timer) {
        m_timer->invalidate();
        m_timer.reset();
    }
}

void DiskutilViewModel::cancel()
{
    if (m_phase == DiskutilPhase::Idle || m_cancelRequested)
        return;
    m_cancelRequested = true;
    switch (m_phase) {
    case DiskutilPhase::Erasing:
        // A format cut half way leaves a drive no one can use; the run stops when the erase has ended.
        break;
    case DiskutilPhase::Authorizing:
    case DiskutilPhase::Creating:
        stopTimer();
        if (m_task)
            m_task->cancel();
        break;
    case DiskutilPhase::Verifying:
        if (m_verifyCancel)
            *m_verifyCancel = true;
        break;
    case DiskutilPhase::Idle:
        break;
    }
}

void DiskutilViewModel::diskutilList()
{
    std::vector<DiskModelPtr> disks;
    for (const platform::MountEntry &entry : platform::MountTable::visibleVolumes())
        // A file system mounted on /Volumes itself (Linux allows it) holds the volumes; it is not one of
        // them.
        if (entry.mountPointBytes.startsWith("/Volumes") && entry.mountPointBytes != "/Volumes")
            // Reading a volume's icon while the creation tool unmounts it makes the unmount fail.
            disks.push_back(DiskModel::initWithMountEntry(
                entry, m_readsVolumeIcons && (!m_busyDevice || entry.device != m_busyDevice)));
    reportCompletion(disks);
}

void DiskutilViewModel::deviceMounted(const platform::Notification &)
{
    diskutilList();
}

void DiskutilViewModel::deviceUnmounted(const platform::Notification &)
{
    diskutilList();
}

QString DiskutilViewModel::random16BigString()
{
    QString name = QStringLiteral("QRT");
    for (int i = 0; i < 8; ++i)
        name += QChar(u'A' + QRandomGenerator::global()->bounded(26));
    return name;
}

QString DiskutilViewModel::eraseCommand(const QString &volumeName, const QByteArray &mountPath)
{
    QString quoted;
    if (QFile::encodeName(QFile::decodeName(mountPath)) == mountPath) {
        // Inside single quotes only the quote itself is special: close the quotes, add an escaped quote,
        // reopen.
        quoted = QFile::decodeName(mountPath);
        quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
        quoted = QLatin1Char('\'') + quoted + QLatin1Char('\'');
    } else {
        // Text cannot carry these bytes; bash's $'…' writes each one as \xHH.
        quoted = QStringLiteral("$'");
        for (const char c : mountPath) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x20 && byte < 0x7f && c != '\'' && c != '\\')
                quoted += QLatin1Char(c);
            else
                quoted += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        }
        quoted += QLatin1Char('\'');
    }
    return QStringLiteral("diskutil eraseVolume HFS+ %1 %2").arg(volumeName, quoted);
}

QString DiskutilViewModel::lastErrorLine(const QString &output)
{
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const QString line = it->trimmed();
        if (line.startsWith(QLatin1String("Error:")))
            return line;
    }
    return {};
}

DiskutilViewModel::Failure DiskutilViewModel::failureFromErrorLine(const QString &line)
{
    Failure failure;
    failure.detail = line;
    if (line.isEmpty())
        failure.kind = Failure::Kind::Unknown;
    else if (line.contains(QLatin1String("too small")) || line.contains(QLatin1String("No space left")))
        failure.kind = Failure::Kind::NoSpace;
    else if (line.contains(QLatin1String("authoriz"), Qt::CaseInsensitive))
        failure.kind = Failure::Kind::AuthorizationRefused;
    else
        failure.kind = Failure::Kind::ToolError;
    return failure;
}

void DiskutilViewModel::eraseDiskWithDiskModel(const DiskModelPtr &disk)
{
    if (!disk)
        return;
    const QString name = random16BigString();
    m_drive.reset();
    m_lastFailure = Failure();
    m_busyDevice = disk->deviceNumber();
    m_cancelRequested = false;
    m_finished = false;
    enterPhase(DiskutilPhase::Erasing);
    // The whole output is judged at the end, so a word split across two pieces still counts.
    auto output = std::make_shared<QString>();
    std::weak_ptr<DiskutilViewModel> weak = weak_from_this();
    auto runner = NSTaskWithProgress::initWithLaunchPath(
        m_launchPath, {QStringLiteral("-c"), eraseCommand(name, disk->volumePath())}, QString(),
        [output](platform::ChildProcess &, const std::optional<QString> &text) {
            if (text)
                *output += *text;
        },
        [output, weak, disk, name](platform::ChildProcess &process, const std::optional<QString> &rest) {
            if (rest)
                *output += *rest;
            const bool ok = !output->contains(QLatin1String("Error")) && process.terminationStatus() == 0;
            auto self = weak.lock();
            if (!self)
                return;
            if (!ok || self->m_cancelRequested)
                return self->reportFailure(failureFromErrorLine(lastErrorLine(*output)));
            // Erased; the run goes on when the delegate starts the create step. Without one to tell, the
            // record stays as it was.
            auto delegate = self->m_delegate.lock();
            if (!delegate || !delegate->respondsToCompletion())
                return self->enterPhase(DiskutilPhase::Idle);
            // The new name may have been taken, and the volume mounted under a numbered one: the device
            // tells where it is.
            const platform::MountEntry erased = platform::MountTable::volumeOfDevice(disk->deviceNumber());
            if (erased.mountPointBytes.isEmpty())
                disk->setVolume(QStringLiteral("/Volumes/%1").arg(name));
            else
                disk->setVolumePath(erased.mountPointBytes);
            delegate->diskutilViewModelCompletion(*self, disk);
        });
    // The disk utility refuses the erase if the path has come to name another device since the user
    // confirmed this one.
    if (disk->deviceNumber() != 0)
        runner->task()->setExtraEnvironment({QStringLiteral("BOOTDRIVE_ERASE_DEVICE=%1:%2")
                                                 .arg(major(disk->deviceNumber()))
                                                 .arg(minor(disk->deviceNumber()))});
    runner->launch();
}

QStringList DiskutilViewModel::creationArguments(const MacOSModel &macOS, const DiskModel &disk)
{
    const QString tool = QStringLiteral("%1/Contents/Resources/createinstallmedia").arg(macOS.path());
    if (macOS.installType() == 1)
        return {tool,         QStringLiteral("--volume"),       disk.volume(), macOS.installTypeIdentifier(),
                macOS.path(), QStringLiteral("--nointeraction")};
    return {tool, QStringLiteral("--volume"), disk.volume(), macOS.path(), QStringLiteral("--nointeraction")};
}

void DiskutilViewModel::resetTask()
{
    m_task = PrivilegedTask::init();
}

void DiskutilViewModel::installMacOSWithMacOSModel(const MacOSModelPtr &macOS, const DiskModelPtr &disk)
{
    if (!macOS || !disk)
        return;
    const QStringList arguments = creationArguments(*macOS, *disk);
    m_drive = disk;
    resetTask();
    m_task->setLaunchPath(arguments.first());
    m_task->setArguments(arguments);
    stopTimer();
    const uint64_t run = ++m_run;
    if (m_phase == DiskutilPhase::Idle)
        m_cancelRequested = false;
    m_finished = false;
    m_lastProgress = -1;
    m_lastFailure = Failure();
    m_busyDevice = disk->deviceNumber();
    m_toolOutputTail.clear();
    m_toolErrorLine.clear();
    m_failurePending = false;
    enterPhase(DiskutilPhase::Authorizing);
    if (m_cancelRequested)
        m_task->cancel();

    PrivilegedTaskPtr task = m_task;
    std::weak_ptr<DiskutilViewModel> weak = weak_from_this();
    Dispatch::global([task, weak, macOS, disk, run] {
        // Blocks while the user is asked for administrator rights.
        const int32_t status = task->launch();
        Dispatch::main([weak, macOS, disk, run, status] {
            auto self = weak.lock();
            if (!self || run != self->m_run)
                return;
            if (status != 0) {
                // Cancelled, denied or unavailable: nothing runs, so nothing is measured.
                self->m_finished = true;
                Failure failure;
                failure.kind =
                    status == platform::Authorization::Canceled || status == platform::Authorization::Denied
                        ? Failure::Kind::AuthorizationRefused
                        : Failure::Kind::Unknown;
                self->reportFailure(failure);
                return;
            }
            self->enterPhase(DiskutilPhase::Creating);
            self->startTimerWithMacOSModel(macOS, disk);
            self->startOutputDrain();
        });
        if (status != 0)
            return;
        // Also waits for a tool whose helper was killed to hear of it and stop.
        task->waitUntilExit();
        Dispatch::main([weak, run, task, macOS] {
            auto self = weak.lock();
            if (!self)
                return;
            self->createStepEnded(run, task);
            if (!self->m_finished && self->m_phase == DiskutilPhase::Verifying)
                self->verify(macOS, run);
        });
    });
}

void DiskutilViewModel::startTimerWithMacOSModel(const MacOSModelPtr &macOS, const DiskModelPtr &)
{
    if (m_finished || m_cancelRequested)
        return;
    std::weak_ptr<DiskutilViewModel> weak = weak_from_this();
    const uint64_t run = m_run;
    m_timer = platform::RepeatingTimer::schedule(1.0, [weak, macOS, run](platform::RepeatingTimer &timer) {
        auto self = weak.lock();
        if (!self) {
            timer.invalidate();
            return;
        }
        self->measureTick(macOS, run);
    });
}

void DiskutilViewModel::measureTick(const MacOSModelPtr &macOS, uint64_t run)
{
    // Walking two large trees can take longer than a frame, so it happens on a worker and only the result
    // comes back to the main thread. A tick that finds the last measurement still running is skipped.
    if (m_measuring)
        return;
    m_measuring = true;
    std::weak_ptr<DiskutilViewModel> weak = weak_from_this();
    const QString bundle = macOS->path();
    const dev_t device = m_busyDevice;
    Dispatch::globalBackground([weak, bundle, device, run] {
        // The drive being written, wherever the tool has mounted it: not whatever else carries the
        // installer's name.
        const platform::MountEntry target = platform::MountTable::volumeOfDevice(device);
        const float installer = folderSizeAtPath(bundle);
        const float written = target.mountPointBytes.isEmpty() ? 0.0f : folderSizeAtPath(target.mountPoint);
        const double ratio =
            installer > 0 ? static_cast<double>(written) / static_cast<double>(installer) : 0.0;
        Dispatch::main([weak, ratio, run] {
            auto self = weak.lock();
            if (!self)
                return;
            self->m_measuring = false;
            if (run != self->m_run || self->m_finished)
                return;
            // Only the tool's successful end completes the drive; until then the ring stops short of full.
            const double shown = std::min(ratio, 0.99);
            self->m_lastProgress = shown;
            self->reportProgress(shown);
        });
    });
}

void DiskutilViewModel::createStepEnded(uint64_t run, const PrivilegedTaskPtr &task)
{
    if (run != m_run || m_finished)
        return;
    stopTimer();
    if (task->programLeftRunning()) {
        // Said plainly rather than reported as an ordinary failure: the drive may still be written to.
        m_finished = true;
        Failure failure;
        failure.kind = Failure::Kind::ToolStillRunning;
        platform::Log::write(QStringLiteral("The creation tool did not stop: %1").arg(task->description()));
        return reportFailure(failure);
    }
    if (!task->exitedSuccessfully() || m_cancelRequested) {
        m_finished = true;
        // The tool's last words may still be on their way through the pipe: the failure is reported when
        // its output has ended, or after a short grace if something else keeps the pipe open.
        m_failurePending = true;
        if (!m_drainObserver)
            return finishFailedStep();
        std::weak_ptr<DiskutilViewModel> weak = weak_from_this();
        Dispatch::mainAfter(2.0, [weak, run] {
            auto self = weak.lock();
            if (self && self->m_run == run && self->m_failurePending)
                self->finishFailedStep();
        });
        return;
    }
    if (m_verifies) {
        // The caller starts the comparison; until it passes the ring stays short of full.
        enterPhase(DiskutilPhase::Verifying);
        return;
    }
    followDrive();
    m_finished = true;
    m_busyDevice = 0;
    enterPhase(DiskutilPhase::Idle);
    if (m_lastProgress < 1.0)
        reportProgress(1.0);
    reportCompletion(true);
}

void DiskutilViewModel::followDrive()
{
    const platform::MountEntry now = platform::MountTable::volumeOfDevice(m_busyDevice);
    if (m_drive && !now.mountPointBytes.isEmpty())
        m_drive->setVolumePath(now.mountPointBytes);
}

namespace {

// "Install macOS Mojave.app/Contents/Info.plist": an item of the bundle as the user knows it.
QString bundleItem(const QByteArray &bundle, const std::string &relative)
{
    const QString folder = QFile::decodeName(bundle.mid(bundle.lastIndexOf('/') + 1));
    return relative.empty() || relative == "." ? folder
                                               : folder + QLatin1Char('/') + QString::fromStdString(relative);
}

} // namespace

void DiskutilViewModel::verify(const MacOSModelPtr &macOS, uint64_t run)
{
    // The tool puts the bundle, under its own folder name, on the drive it made, which is found by its
    // device: the installer's name may have been taken by another volume.
    const dev_t device = m_busyDevice;
    const QByteArray original = QFile::encodeName(macOS->path());
    const platform::MountEntry drive = platform::MountTable::volumeOfDevice(device);
    const QByteArray copy =
        (drive.mountPointBytes.isEmpty() ? QFile::encodeName(macOS->volume()) : drive.mountPointBytes) + '/' +
        original.mid(original.lastIndexOf('/') + 1);
    auto cancelled = std::make_shared<std::atomic<bool>>(m_cancelRequested);
    m_verifyCancel = cancelled;
    std::weak_ptr<DiskutilViewModel> weak = weak_from_this();
    Dispatch::global([weak, original, copy, device, cancelled, run] {
        const platform::TreeVerifier::Result result =
            platform::TreeVerifier::compare(original.toStdString(), copy.toStdString(), device, *cancelled);
        Dispatch::main([weak, result, run, original, copy] {
            auto self = weak.lock();
            if (!self || run != self->m_run || self->m_finished)
                return;
            self->m_verifyCancel.reset();
            using Outcome = platform::TreeVerifier::Result::Outcome;
            if (result.outcome == Outcome::Same && !self->m_cancelRequested) {
                self->followDrive();
                self->m_finished = true;
                self->m_busyDevice = 0;
                self->enterPhase(DiskutilPhase::Idle);
                self->reportProgress(1.0);
                self->reportCompletion(true);
                return;
            }
            platform::Log::write(QStringLiteral("Verification of %1 failed: %2 %3")
                                     .arg(QFile::decodeName(copy), QString::fromStdString(result.path),
                                          QString::fromStdString(result.reason)));
            Failure failure;
            if (result.outcome == Outcome::Unreadable) {
                failure.kind = Failure::Kind::ToolError;
                failure.detail =
                    QStringLiteral("Error: cannot verify %1: %2")
                        .arg(bundleItem(original, result.path), QString::fromStdString(result.reason));
            } else {
                failure.kind = Failure::Kind::VerificationFailed;
                failure.detail = bundleItem(original, result.path);
            }
            self->reportFailure(failure);
        });
    });
}

void DiskutilViewModel::finishFailedStep()
{
    m_failurePending = false;
    // Output that ended without a line break still counts.
    const QString last = lastErrorLine(m_toolOutputTail);
    reportFailure(failureFromErrorLine(last.isEmpty() ? m_toolErrorLine : last));
}

void DiskutilViewModel::startOutputDrain()
{
    std::shared_ptr<platform::FileHandle> handle = m_task ? m_task->outputFileHandle() : nullptr;
    if (!handle)
        return;
    std::weak_ptr<DiskutilViewModel> weak = weak_from_this();
    // The observer keeps the handle it drains, so a later run's task cannot take its place.
    m_drainObserver = platform::NotificationCenter::defaultCenter().addObserver(
        platform::FileHandle::ReadCompletionNotification, handle.get(),
        [weak, handle](const platform::Notification &notification) {
            auto self = weak.lock();
            if (!self)
                return;
            self->taskMotionNotification(notification);
            auto data = notification.userInfo ? platform::as<platform::Data>(notification.userInfo->value(
                                                    platform::FileHandle::NotificationDataItem))
                                              : platform::DataPtr();
            if (data && !data->bytes().isEmpty())
                handle->readInBackgroundAndNotify();
            else if (self->m_drainObserver)
                Dispatch::main([weak] {
                    auto job = weak.lock();
                    if (!job)
                        return;
                    job->m_drainObserver.reset();
                    if (job->m_failurePending)
                        job->finishFailedStep();
                });
        });
    handle->readInBackgroundAndNotify();
}

void DiskutilViewModel::taskMotionNotification(const platform::Notification &notification)
{
    auto data = notification.userInfo ? platform::as<platform::Data>(notification.userInfo->value(
                                            platform::FileHandle::NotificationDataItem))
                                      : platform::DataPtr();
    if (data && !data->bytes().isEmpty()) {
        // Only the tool's last "Error:" line is kept, to tell the user why a run failed.
        const std::optional<QString> text = NSTaskWithProgress::decodeUtf8(data->bytes());
        if (!text)
            return;
        m_toolOutputTail += *text;
        // A tool that never ends its line must not grow the tail without bound.
        if (m_toolOutputTail.size() > 65536)
            m_toolOutputTail.remove(0, m_toolOutputTail.size() - 65536);
        const qsizetype end = m_toolOutputTail.lastIndexOf(QLatin1Char('\n'));
        if (end < 0)
            return;
        const QString error = lastErrorLine(m_toolOutputTail.left(end));
        if (!error.isEmpty())
            m_toolErrorLine = error;
        m_toolOutputTail.remove(0, end + 1);
    }
}

void DiskutilViewModel::taskDidTerminateNotification(const platform::Notification &)
{
    platform::Log::write(
        QStringLiteral("Terminating task: %1").arg(m_task ? m_task->description() : QString()));
}

float DiskutilViewModel::folderSizeAtPath(const QString &path)
{
    if (!platform::FileSystem::exists(path))
        return 0.0f;
    const int64_t total = platform::FileSystem::totalSizeBelow(path);
    return static_cast<float>(static_cast<double>(total) * (1.0 / 1048576.0));
}

int64_t DiskutilViewModel::fileSizeAtPath(const QString &path)
{
    if (!platform::FileSystem::exists(path))
        return 0;
    return platform::FileSystem::itemSize(path);
}
