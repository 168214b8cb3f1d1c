#include "Creation/DiskutilViewModel.h"

#include "Creation/NSTaskWithProgress.h"
#include "Platform/Process/Authorization.h"
#include "Platform/Runtime/BundleInfo.h"
#include "Platform/Volumes/BlockDevice.h"
#include "Platform/Volumes/DriveRecord.h"
#include "Platform/Volumes/FileSystem.h"
#include "Platform/Volumes/InstallerMedia.h"
#include "Platform/Volumes/MountMonitor.h"
#include "Platform/Volumes/MountTable.h"
#include "Platform/Volumes/TreeVerifier.h"

#include <QDateTime>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaMethod>
#include <QMutex>
#include <QProcess>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using State = DiskutilState;

// One run, from its first step to its final report. Whatever a worker or a process hands back for a run
// that is no longer the job's current one is dropped.
struct DiskutilViewModel::Run
{
    Run(MacOSModelPtr installer, DiskModelPtr disk, AfterErase after)
        : macOS(std::move(installer)), drive(std::move(disk)), device(drive->deviceNumber()),
          afterErase(after)
    {}

    MacOSModelPtr macOS;
    DiskModelPtr drive;
    dev_t device = 0; // followed from the erase to the end
    AfterErase afterErase = AfterErase::WaitForGoAhead;
    bool cancelRequested = false;
    bool measuring = false;
    double lastProgress = -1;
    // Tells the verification's readers to stop.
    std::shared_ptr<std::atomic<bool>> stopReading = std::make_shared<std::atomic<bool>>(false);
    // The creation tool: its output not yet ended by a line break, its last "Error:" line, and whether its
    // output and the tool itself have ended, and how.
    QString outputTail;
    QString errorLine;
    std::unique_ptr<QSocketNotifier> drain;
    bool outputEnded = true;
    bool toolEnded = false;
    bool toolSucceeded = false;
    bool graceArmed = false;
    // The privileged helper outlives the tool until the drive's record is written or it is let go; what
    // waits for its end.
    bool helperEnded = false;
    std::function<void(DiskutilViewModel &, Run &)> afterHelper;
    // What the helper and the record tool said after the tool's end, for the log when no record is written.
    QString helperSaid;
};

namespace {

// The run's path: each state leads on to the next, any of them back to Idle with the final report, and a
// run may begin at its checks, its erase or its create step.
bool mayFollow(State from, State to)
{
    if (to == State::Idle)
        return from != State::Idle;
    switch (from) {
    case State::Idle:
        return to == State::Checking || to == State::Erasing || to == State::Authorizing;
    case State::Checking:
        return to == State::Erasing;
    case State::Erasing:
        return to == State::Erased;
    case State::Erased:
        return to == State::Authorizing;
    case State::Authorizing:
        return to == State::Creating;
    case State::Creating:
        return to == State::Verifying;
    case State::Verifying:
        return false;
    }
    return false;
}

// Waiting for the user's answer and for the creation tool each hold a thread for minutes; they never queue
// behind, nor hold up, the short work on Qt's global pool. Never destroyed: a wait may outlast the job.
QThreadPool *waits()
{
    static QThreadPool *pool = new QThreadPool;
    return pool;
}

// What a verification hands back: its outcome and, for a drive found the same, the record of it.
struct Verified
{
    platform::TreeVerifier::Result result;
    QByteArray record;
};

// "Install macOS Mojave.app/Contents/Info.plist": an item of the bundle as the user knows it.
QString bundleItem(const QByteArray &bundle, const std::string &relative)
{
    const QString folder = QFile::decodeName(bundle.mid(bundle.lastIndexOf('/') + 1));
    return relative.empty() || relative == "." ? folder
                                               : folder + QLatin1Char('/') + QString::fromStdString(relative);
}

} // namespace

DiskutilViewModel::DiskutilViewModel(QObject *parent)
    : QObject(parent), m_launchPath(QStringLiteral("/bin/bash"))
{
    if (platform::MountMonitor *monitor = platform::MountMonitor::shared()) {
        connect(monitor, &platform::MountMonitor::didMount, this, &DiskutilViewModel::deviceMounted);
        // A volume that went away leaves the list too.
        connect(monitor, &platform::MountMonitor::didUnmount, this, &DiskutilViewModel::diskutilList);
    }
}

DiskutilViewModel::~DiskutilViewModel() = default;

dev_t DiskutilViewModel::busyDevice() const
{
    return m_run && m_state != State::Idle && m_state != State::Checking ? m_run->device : 0;
}

void DiskutilViewModel::reportProgress(double progress)
{
    emit diskutilViewModelProgress(progress);
}

void DiskutilViewModel::reportCompletion(const DiskutilResult &result)
{
    emit diskutilViewModelCompletion(result);
}

void DiskutilViewModel::enterState(State next)
{
    if (next == m_state)
        return;
    if (!mayFollow(m_state, next)) {
        qInfo().noquote() << (QStringLiteral("The creation job cannot go from state %1 to %2")
                                  .arg(static_cast<int>(m_state))
                                  .arg(static_cast<int>(next)));
        return;
    }
    m_state = next;
    emit diskutilViewModelState(next);
}

template <class T>
void DiskutilViewModel::whenDone(QFuture<T> work, const std::weak_ptr<Run> &run,
                                 std::function<void(DiskutilViewModel &, Run &, const T &)> step)
{
    work.then(this, [this, run, step = std::move(step)](const T &value) {
        onMainForRun(run, [value, step](DiskutilViewModel &job, Run &current) { step(job, current, value); });
    });
}

void DiskutilViewModel::onMainForRun(const std::weak_ptr<Run> &run,
                                     std::function<void(DiskutilViewModel &, Run &)> step)
{
    // Workers hold neither the job nor the run: both end on the GUI thread, and a step for either that has
    // gone is dropped.
    QMetaObject::invokeMethod(
        this,
        [this, run, step = std::move(step)] {
            if (auto current = run.lock(); current && current == m_run)
                step(*this, *current);
        },
        Qt::QueuedConnection);
}

bool DiskutilViewModel::beginRun(const std::shared_ptr<Run> &run, State first)
{
    if (m_state != State::Idle) {
        qInfo().noquote() << (QStringLiteral("A run is under way; another one cannot start"));
        return false;
    }
    m_run = run;
    m_lastFailure = Failure();
    enterState(first);
    return true;
}

void DiskutilViewModel::succeed(bool recorded)
{
    followDrive(*m_run);
    stopTimer();
    const bool below = m_run->lastProgress < 1.0;
    m_run.reset();
    enterState(State::Idle);
    if (below)
        reportProgress(1.0);
    DiskutilResult result{DiskutilResult::Kind::Yes, {}, {}};
    result.recorded = recorded;
    reportCompletion(result);
}

void DiskutilViewModel::fail(Failure failure)
{
    const std::shared_ptr<Run> run = std::move(m_run);
    m_lastFailure = std::move(failure);
    if (run && run->cancelRequested && m_lastFailure.kind != Failure::Kind::ToolStillRunning) {
        // Whatever else went wrong on the way, the user stopped the run.
        m_lastFailure.kind = Failure::Kind::Cancelled;
    }
    if (run && m_state != State::Checking && m_state != State::Erasing) {
        m_lastFailure.driveIncomplete = true;
        followDrive(*run);
        // A drive the tool wrote to but that did not end up finished and verified must not look finished. A
        // tool that still runs is left alone.
        const platform::MountEntry mount = platform::MountTable::volumeOfDevice(run->device);
        if ((m_state == State::Creating || m_state == State::Verifying) &&
            m_lastFailure.kind != Failure::Kind::ToolStillRunning && !mount.mountPointBytes.isEmpty() &&
            !platform::InstallerMedia::markUnfinished(mount.mountPointBytes))
            qInfo().noquote() << (QStringLiteral("Could not mark %1 as unfinished").arg(mount.mountPoint));
    }
    stopTimer();
    enterState(State::Idle);
    reportCompletion({DiskutilResult::Kind::No, {}, {}});
}

void DiskutilViewModel::stopTimer()
{
    if (m_timer)
        delete m_timer;
}

void DiskutilViewModel::cancel()
{
    if (!m_run || m_run->cancelRequested)
        return;
    m_run->cancelRequested = true;
    switch (m_state) {
    case State::Checking:
        // The checks' answer is not acted on.
        break;
    case State::Erasing:
        // A format cut half way leaves a drive no one can use; the run stops when the erase has ended.
        break;
    case State::Erased:
        fail(Failure());
        break;
    case State::Authorizing:
    case State::Creating:
        stopTimer();
        if (m_task)
            m_task->cancel();
        break;
    case State::Verifying:
        *m_run->stopReading = true;
        // The helper waits for the record, or writes it: it goes, and a record half written is not kept.
        if (m_task)
            m_task->cancel();
        break;
    case State::Idle:
        break;
    }
}

void DiskutilViewModel::diskutilList()
{
    const dev_t busy = busyDevice();
    DiskutilResult list{DiskutilResult::Kind::Drives, {}, {}};
    for (const platform::MountEntry &entry : platform::MountTable::visibleVolumes())
        // A file system mounted on /Volumes itself (Linux allows it) holds the volumes; it is not one of
        // them.
        if (entry.mountPointBytes.startsWith("/Volumes") && entry.mountPointBytes != "/Volumes")
            // Reading a volume's icon while the creation tool unmounts it makes the unmount fail.
            list.drives.push_back(
                DiskModel::initWithMountEntry(entry, m_readsVolumeIcons && (!busy || entry.device != busy)));
    reportCompletion(list);
}

void DiskutilViewModel::deviceMounted()
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

QString DiskutilViewModel::shellQuoted(const QByteArray &path)
{
    if (QFile::encodeName(QFile::decodeName(path)) == path) {
        // Inside single quotes only the quote itself is special: close the quotes, add an escaped quote,
        // reopen.
        QString quoted = QFile::decodeName(path);
        quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
        return QLatin1Char('\'') + quoted + QLatin1Char('\'');
    }
    // Text cannot carry these bytes; bash's $'…' writes each one as \xHH.
    QString quoted = QStringLiteral("$'");
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && c != '\'' && c != '\\')
            quoted += QLatin1Char(c);
        else
            quoted += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return quoted + QLatin1Char('\'');
}

QString DiskutilViewModel::eraseCommand(const QString &volumeName, const QByteArray &mountPath)
{
    return QStringLiteral("diskutil eraseVolume HFS+ %1 %2").arg(volumeName, shellQuoted(mountPath));
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

void DiskutilViewModel::runDiskutil(const QString &quotedArguments,
                                    std::function<void(bool succeeded, const QString &error)> done)
{
    auto output = std::make_shared<QString>();
    NSTaskWithProgress::launchedTaskWithLaunchPath(
        QStringLiteral("/bin/bash"), {QStringLiteral("-c"), QStringLiteral("diskutil ") + quotedArguments},
        [output](QProcess &, const std::optional<QString> &text) { *output += text.value_or(QString()); },
        [output, done = std::move(done)](QProcess &process, const std::optional<QString> &rest) {
            *output += rest.value_or(QString());
            const int status = NSTaskWithProgress::terminationStatus(process);
            QString error;
            if (status != 0) {
                error = lastErrorLine(*output);
                if (error.isEmpty())
                    error = QStringLiteral("Error: diskutil ended with status %1").arg(status);
            }
            if (done)
                done(status == 0, error);
        });
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

QStringList DiskutilViewModel::creationArguments(const MacOSModel &macOS, const DiskModel &disk)
{
    const QString tool = macOS.creationToolPath();
    if (macOS.installType() == 1)
        return {tool,         QStringLiteral("--volume"),       disk.volume(), macOS.installTypeIdentifier(),
                macOS.path(), QStringLiteral("--nointeraction")};
    return {tool, QStringLiteral("--volume"), disk.volume(), macOS.path(), QStringLiteral("--nointeraction")};
}

void DiskutilViewModel::createInstallerDrive(const MacOSModelPtr &macOS, const DiskModelPtr &disk,
                                             AfterErase afterErase)
{
    if (!macOS || !disk)
        return;
    auto run = std::make_shared<Run>(macOS, disk, afterErase);
    if (!beginRun(run, State::Checking))
        return;
    // The checks walk the installer, which can take a moment; the caller's thread stays free meanwhile.
    const CreationPreflight::Input input = CreationPreflight::inputFor(*macOS, *disk);
    whenDone<CreationPreflight::Result>(
        QtConcurrent::run([input] { return CreationPreflight::check(input); }), run,
        [](DiskutilViewModel &job, Run &current, const CreationPreflight::Result &result) {
            job.m_lastCheck = result;
            if (current.cancelRequested)
                return job.fail(Failure());
            if (result.refusal != CreationPreflight::Refusal::None) {
                qInfo().noquote()
                    << QStringLiteral("Not erasing %1: %2").arg(current.drive->volume(), result.detail);
                Failure refused;
                refused.kind = Failure::Kind::Refused;
                refused.check = result;
                return job.fail(refused);
            }
            job.erase(job.m_run);
        });
}

void DiskutilViewModel::eraseDiskWithDiskModel(const DiskModelPtr &disk)
{
    if (!disk)
        return;
    auto run = std::make_shared<Run>(nullptr, disk, AfterErase::WaitForGoAhead);
    if (beginRun(run, State::Erasing))
        erase(run);
}

void DiskutilViewModel::erase(const std::shared_ptr<Run> &run)
{
    enterState(State::Erasing);
    const QString name = random16BigString();
    const DiskModelPtr disk = run->drive;
    // The whole output is judged at the end, so a word split across two pieces still counts.
    auto output = std::make_shared<QString>();
    QPointer<DiskutilViewModel> weak(this);
    std::weak_ptr<Run> weakRun = run;
    NSTaskWithProgress *runner = NSTaskWithProgress::initWithLaunchPath(
        m_launchPath, {QStringLiteral("-c"), eraseCommand(name, disk->volumePath())}, QString(),
        [output](QProcess &, const std::optional<QString> &text) {
            if (text)
                *output += *text;
        },
        [output, weak, weakRun, name](QProcess &process, const std::optional<QString> &rest) {
            if (rest)
                *output += *rest;
            DiskutilViewModel *self = weak.data();
            auto run = weakRun.lock();
            if (!self || !run || run != self->m_run)
                return;
            const bool ok = !output->contains(QLatin1String("Error")) &&
                            NSTaskWithProgress::terminationStatus(process) == 0;
            if (!ok || run->cancelRequested)
                return self->fail(failureFromErrorLine(lastErrorLine(*output)));
            // Erased; without anyone to tell, a run that waits for its go-ahead ends and the record stays
            // as it was.
            const bool heard = self->isSignalConnected(
                QMetaMethod::fromSignal(&DiskutilViewModel::diskutilViewModelCompletion));
            if (run->afterErase == AfterErase::WaitForGoAhead && !heard) {
                self->m_run.reset();
                return self->enterState(State::Idle);
            }
            // The new name may have been taken, and the volume mounted under a numbered one: the device
            // tells where it is.
            const platform::MountEntry erased = platform::MountTable::volumeOfDevice(run->device);
            if (erased.mountPointBytes.isEmpty())
                run->drive->setVolume(QStringLiteral("/Volumes/%1").arg(name));
            else
                run->drive->setVolumePath(erased.mountPointBytes);
            self->enterState(State::Erased);
            self->reportCompletion({DiskutilResult::Kind::Erased, {}, run->drive});
            if (run->afterErase == AfterErase::Continue && run == self->m_run &&
                self->m_state == State::Erased)
                self->create(run);
        });
    // The disk utility refuses the erase if the path has come to name another device since the user
    // confirmed this one.
    if (disk->deviceNumber() != 0)
        runner->setEraseDevice(platform::BlockDevice::numberText(disk->deviceNumber()));
    runner->launch();
}

void DiskutilViewModel::resetTask()
{
    m_task = PrivilegedTask::init();
    connect(m_task.get(), &PrivilegedTask::didTerminate, this,
            &DiskutilViewModel::taskDidTerminateNotification);
}

void DiskutilViewModel::installMacOSWithMacOSModel(const MacOSModelPtr &macOS, const DiskModelPtr &disk)
{
    if (!macOS || !disk)
        return;
    // The go-ahead of a run that waits at Erased.
    if (m_state == State::Erased && m_run && m_run->drive == disk) {
        m_run->macOS = macOS;
        return create(m_run);
    }
    auto run = std::make_shared<Run>(macOS, disk, AfterErase::Continue);
    if (beginRun(run, State::Authorizing))
        create(run);
}

void DiskutilViewModel::create(const std::shared_ptr<Run> &run)
{
    const QStringList arguments = creationArguments(*run->macOS, *run->drive);
    resetTask();
    m_task->setLaunchPath(arguments.first());
    m_task->setArguments(arguments);
    // The same helper, and so the same authorization, writes the drive's record after the verification.
    m_task->setStaysAfterProgram(true);
    stopTimer();
    enterState(State::Authorizing);
    if (run->cancelRequested)
        m_task->cancel();

    PrivilegedTaskPtr task = m_task;
    // Blocks while the user is asked for administrator rights.
    whenDone<int32_t>(QtConcurrent::run(waits(), [task] { return task->launch(); }), run,
                      [task](DiskutilViewModel &job, Run &current, const int32_t &status) {
                          if (status != 0) {
                              // Cancelled, denied or unavailable: nothing runs, so nothing is measured.
                              Failure failure;
                              failure.kind = status == platform::Authorization::Canceled ||
                                                     status == platform::Authorization::Denied
                                                 ? Failure::Kind::AuthorizationRefused
                                                 : Failure::Kind::Unknown;
                              return job.fail(failure);
                          }
                          job.enterState(State::Creating);
                          job.startTimerWithMacOSModel(current.macOS);
                          job.startOutputDrain(job.m_run);
                          // Also waits for a tool whose helper was killed to hear of it and stop.
                          const auto ended = [task] {
                              task->waitUntilExit();
                              return true;
                          };
                          job.whenDone<bool>(QtConcurrent::run(waits(), ended), job.m_run,
                                             [](DiskutilViewModel &ending, Run &run, const bool &) {
                                                 run.helperEnded = true;
                                                 // Ended before telling the tool's end: killed, or gone
                                                 // with it; its status is the tool's then.
                                                 if (!run.toolEnded) {
                                                     run.toolEnded = true;
                                                     run.toolSucceeded = ending.m_task->exitedSuccessfully();
                                                 }
                                                 ending.helperEnded(ending.m_run);
                                             });
                      });
}

void DiskutilViewModel::startTimerWithMacOSModel(const MacOSModelPtr &macOS)
{
    if (!m_run || m_run->cancelRequested || !macOS)
        return;
    stopTimer();
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    std::weak_ptr<Run> weakRun = m_run;
    connect(m_timer, &QTimer::timeout, this, [this, weakRun] {
        if (auto run = weakRun.lock(); run && run == m_run)
            measureTick(run);
    });
    m_timer->start();
}

void DiskutilViewModel::measureTick(const std::shared_ptr<Run> &run)
{
    // Walking two large trees can take longer than a frame, so it happens on a worker and only the result
    // comes back to the main thread. A tick that finds the last measurement still running is skipped.
    if (run->measuring)
        return;
    run->measuring = true;
    const QString bundle = run->macOS->path();
    // A drive known by its device is followed wherever the tool mounts it, and never confused with another
    // volume of the installer's name; one without falls back to that name.
    const QString named = run->macOS->volume();
    const dev_t device = run->device;
    whenDone<double>(QtConcurrent::run([bundle, named, device] {
                         const QString target =
                             device != 0 ? platform::MountTable::volumeOfDevice(device).mountPoint : named;
                         const float installer = folderSizeAtPath(bundle);
                         const float written = target.isEmpty() ? 0.0f : folderSizeAtPath(target);
                         return installer > 0 ? static_cast<double>(written) / static_cast<double>(installer)
                                              : 0.0;
                     }),
                     run, [](DiskutilViewModel &job, Run &current, const double &ratio) {
                         current.measuring = false;
                         if (job.m_state != State::Creating)
                             return;
                         // Only the tool's successful end completes the drive; until then the ring stops
                         // short of full.
                         const double shown = std::min(ratio, 0.99);
                         current.lastProgress = shown;
                         job.reportProgress(shown);
                     });
}

void DiskutilViewModel::startOutputDrain(const std::shared_ptr<Run> &run)
{
    const PrivilegedTaskPtr task = m_task;
    const std::shared_ptr<QFile> handle = task ? task->outputFileHandle() : nullptr;
    if (!handle)
        return;
    const int fd = handle->handle();
    run->outputEnded = false;
    run->drain = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    std::weak_ptr<Run> weakRun = run;
    // The drain holds the task whose output it reads, so a later run's task cannot take its place.
    connect(run->drain.get(), &QSocketNotifier::activated, this, [this, weakRun, task, fd] {
        auto run = weakRun.lock();
        if (!run)
            return;
        char buffer[65536];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        const QByteArray chunk = n > 0 ? QByteArray(buffer, n) : QByteArray();
        const bool endedBefore = task->programHasEnded();
        QByteArray helperSaid;
        const QByteArray toolSaid = task->programOutput(chunk, &helperSaid);
        if (run == m_run)
            taskMotionNotification(toolSaid);
        if (!helperSaid.isEmpty() && run->helperSaid.size() < 4096)
            run->helperSaid += QString::fromLocal8Bit(helperSaid.left(4096));
        // The helper told the tool's end and stays for the record.
        if (!endedBefore && task->programHasEnded() && !run->toolEnded) {
            run->toolEnded = true;
            run->toolSucceeded = task->programStatus() == 0;
            createStepEnded(run);
        }
        if (!chunk.isEmpty())
            return;
        // The end of the tool's output.
        run->drain->setEnabled(false);
        run->drain.release()->deleteLater();
        run->outputEnded = true;
        if (run->toolEnded)
            createStepEnded(run);
    });
}

void DiskutilViewModel::taskMotionNotification(const QByteArray &chunk)
{
    if (!m_run || chunk.isEmpty())
        return;
    // Only the tool's last "Error:" line is kept, to tell the user why a run failed.
    const std::optional<QString> text = NSTaskWithProgress::decodeUtf8(chunk);
    if (!text)
        return;
    QString &tail = m_run->outputTail;
    tail += *text;
    // A tool that never ends its line must not grow the tail without bound.
    if (tail.size() > 65536)
        tail.remove(0, tail.size() - 65536);
    const qsizetype end = tail.lastIndexOf(QLatin1Char('\n'));
    if (end < 0)
        return;
    const QString error = lastErrorLine(tail.left(end));
    if (!error.isEmpty())
        m_run->errorLine = error;
    tail.remove(0, end + 1);
}

void DiskutilViewModel::taskDidTerminateNotification()
{
    qInfo().noquote()
        << (QStringLiteral("Terminating task: %1").arg(m_task ? m_task->description() : QString()));
}

void DiskutilViewModel::helperEnded(const std::shared_ptr<Run> &run)
{
    if (auto next = std::exchange(run->afterHelper, {}))
        return next(*this, *run);
    createStepEnded(run);
}

void DiskutilViewModel::whenHelperEnded(const std::shared_ptr<Run> &run,
                                        std::function<void(DiskutilViewModel &, Run &)> then)
{
    if (run->helperEnded)
        return then(*this, *run);
    run->afterHelper = std::move(then);
}

void DiskutilViewModel::createStepEnded(const std::shared_ptr<Run> &run)
{
    if (run != m_run || m_state != State::Creating || !run->toolEnded)
        return;
    stopTimer();
    if (run->toolSucceeded && !run->cancelRequested) {
        if (m_verifies) {
            // Until the comparison passes the ring stays short of full.
            enterState(State::Verifying);
            return verify(run);
        }
        // Nothing was verified, so there is nothing to record: the helper goes.
        if (!run->afterHelper) {
            m_task->finish();
            whenHelperEnded(run, [](DiskutilViewModel &job, Run &) { job.succeed(false); });
        }
        return;
    }
    // The helper goes too; the failure is reported once nothing of the tool runs any more.
    m_task->finish();
    if (!run->helperEnded)
        return;
    if (m_task->programLeftRunning()) {
        // Said plainly rather than reported as an ordinary failure: the drive may still be written to.
        qInfo().noquote()
            << (QStringLiteral("The creation tool did not stop: %1").arg(m_task->description()));
        Failure failure;
        failure.kind = Failure::Kind::ToolStillRunning;
        return fail(failure);
    }
    // The tool's last words may still be on their way through the pipe: the failure is reported when its
    // output has ended, or after a short grace if something else keeps the pipe open.
    if (!run->outputEnded) {
        if (!run->graceArmed) {
            run->graceArmed = true;
            std::weak_ptr<Run> weakRun = run;
            QTimer::singleShot(2000, this, [this, weakRun] {
                if (auto late = weakRun.lock()) {
                    late->outputEnded = true;
                    createStepEnded(late);
                }
            });
        }
        return;
    }
    // Output that ended without a line break still counts.
    const QString last = lastErrorLine(run->outputTail);
    fail(failureFromErrorLine(last.isEmpty() ? run->errorLine : last));
}

void DiskutilViewModel::verify(const std::shared_ptr<Run> &run)
{
    // The tool puts the bundle, under its own folder name, on the drive it made, which is found by its
    // device: the installer's name may have been taken by another volume.
    const dev_t device = run->device;
    const QByteArray original = QFile::encodeName(run->macOS->path());
    const platform::MountEntry drive = platform::MountTable::volumeOfDevice(device);
    const QByteArray folderName = original.mid(original.lastIndexOf('/') + 1);
    const QByteArray copy =
        (drive.mountPointBytes.isEmpty() ? QFile::encodeName(run->macOS->volume()) : drive.mountPointBytes) +
        '/' + folderName;
    platform::DriveRecord record;
    record.installerName = run->macOS->name().toStdString();
    record.installerVersion = run->macOS->version().toStdString();
    record.installerType = QString::number(run->macOS->installType()).toStdString();
    record.madeBy = platform::BundleInfo::shortVersion().toStdString();
    std::weak_ptr<Run> weakRun = run;
    QPointer<DiskutilViewModel> job(this);
    whenDone<Verified>(
        QtConcurrent::run([job, weakRun, original, copy, folderName, device, record,
                           stop = run->stopReading] {
            // The readers tell how far they are; the window hears of it a few times a second.
            QElapsedTimer sinceTold;
            sinceTold.start();
            QMutex telling;
            const auto progress = [&](uint64_t done, uint64_t total) {
                QMutexLocker lock(&telling);
                if (sinceTold.elapsed() < 250 && done < total)
                    return;
                sinceTold.restart();
                if (DiskutilViewModel *self = job.data())
                    self->onMainForRun(weakRun, [done, total](DiskutilViewModel &reader, Run &) {
                        emit reader.diskutilViewModelVerification(qint64(done), qint64(total));
                    });
            };
            std::vector<platform::DriveRecord::Item> compared;
            Verified verified{platform::TreeVerifier::compare(original.toStdString(), copy.toStdString(),
                                                              device, *stop, progress, &compared),
                              {}};
            struct stat top
            {};
            if (verified.result.outcome == platform::TreeVerifier::Result::Outcome::Same &&
                ::lstat(copy.constData(), &top) == 0)
                verified.record = recordOf(record, folderName.toStdString(), top.st_mode & 07777, compared);
            return verified;
        }),
        run, [original, copy](DiskutilViewModel &job, Run &run, const Verified &verified) {
            using Outcome = platform::TreeVerifier::Result::Outcome;
            const platform::TreeVerifier::Result &result = verified.result;
            if (result.outcome == Outcome::Same && !run.cancelRequested)
                return job.writeRecord(job.m_run, verified.record);
            qInfo().noquote() << (QStringLiteral("Verification of %1 failed: %2 %3")
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
            // Nothing is recorded of a drive that differs: the helper goes first.
            job.m_task->finish();
            job.whenHelperEnded(job.m_run,
                                [failure](DiskutilViewModel &ending, Run &) { ending.fail(failure); });
        });
}

QByteArray DiskutilViewModel::recordOf(platform::DriveRecord record, const std::string &bundleFolder,
                                       unsigned folderMode,
                                       const std::vector<platform::DriveRecord::Item> &items)
{
    using Item = platform::DriveRecord::Item;
    record.made = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    record.items.reserve(items.size() + 1);
    record.items.push_back({Item::Kind::Folder, folderMode, 0, {}, bundleFolder, {}});
    for (const Item &item : items) {
        record.items.push_back(item);
        record.items.back().path = bundleFolder + '/' + item.path;
    }
    const std::string text = record.encode();
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

void DiskutilViewModel::writeRecord(const std::shared_ptr<Run> &run, const QByteArray &record)
{
    // Written last, by the helper that ran the tool, as root as everything else on the drive; the verified
    // drive is a success whether or not its record could be written.
    const platform::MountEntry drive = platform::MountTable::volumeOfDevice(run->device);
    const QByteArray request =
        run->device == 0 ? QByteArray()
                         : platform::Authorization::recordCommand(drive.mountPointBytes, run->device, record);
    const PrivilegedTaskPtr task = m_task;
    const auto ended = [task](DiskutilViewModel &job, Run &current, bool handedOver) {
        const bool written = handedOver && task->exitedSuccessfully();
        if (!written) {
            const QString why = current.helperSaid.trimmed();
            qInfo().noquote() << QStringLiteral("The drive's record was not written%1; it cannot be checked "
                                                "again later")
                                     .arg(why.isEmpty() ? QString() : QStringLiteral(": ") + why);
        }
        job.succeed(written);
    };
    if (request.isEmpty()) {
        task->finish();
        return whenHelperEnded(run,
                               [ended](DiskutilViewModel &job, Run &current) { ended(job, current, false); });
    }
    whenDone<bool>(QtConcurrent::run(waits(), [task, request] { return task->handOver(request); }), run,
                   [task, ended](DiskutilViewModel &job, Run &, const bool &handedOver) {
                       if (!handedOver)
                           task->finish();
                       job.whenHelperEnded(job.m_run,
                                           [ended, handedOver](DiskutilViewModel &ending, Run &current) {
                                               ended(ending, current, handedOver);
                                           });
                   });
}

void DiskutilViewModel::followDrive(const Run &run)
{
    const platform::MountEntry now = platform::MountTable::volumeOfDevice(run.device);
    if (run.drive && !now.mountPointBytes.isEmpty())
        run.drive->setVolumePath(now.mountPointBytes);
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
