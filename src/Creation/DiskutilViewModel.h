#pragma once

#include "Creation/CreationPreflight.h"
#include "Creation/DiskModel.h"
#include "Creation/DiskutilResult.h"
#include "Creation/MacOSModel.h"
#include "Creation/PrivilegedTask.h"
#include "Platform/Volumes/DriveRecord.h"

#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>
#include <sys/types.h>

// The installer creation job: lists the candidate drives, checks that a run can succeed, erases the chosen
// drive under a generated name, then runs the installer's own creation tool on it as root while reporting
// the progress once a second, and finally compares what landed on the drive with the installer. Yes is
// reported only for a drive whose copy was read back and found the same. The job owns the whole sequence and
// its one state; the window and the command line start it and present it. A run can be cancelled in every
// state. Every report is a signal emitted on the GUI thread.
class DiskutilViewModel : public QObject
{
    Q_OBJECT

public:
    // The job lists the drives anew whenever a volume is mounted or unmounted.
    explicit DiskutilViewModel(QObject *parent = nullptr);
    ~DiskutilViewModel() override;

    // Why the last run failed, for the window's message. Set before the job reports no.
    struct Failure
    {
        enum class Kind
        {
            None,
            Refused,              // a check before the erase said no (`check`); nothing was changed
            Unknown,              // nothing more is known
            NoSpace,              // the drive or its file system was too small
            AuthorizationRefused, // the administrator password dialog was dismissed or refused
            ToolError,            // a tool said why, in `detail`
            VerificationFailed,   // the drive's copy differs: `detail` names the first differing item
            Cancelled,            // the user stopped the run
            ToolStillRunning,     // the creation tool could not be stopped and may still write to the drive
        };
        Kind kind = Kind::None;
        QString detail; // the tool's last "Error:" line
        CreationPreflight::Result check;
        // The drive was erased but holds no finished installer (and was marked so where anything was put on
        // it).
        bool driveIncomplete = false;
    };

    // What a run does after its erase: go on to create and verify by itself, or report the erased drive and
    // wait for installMacOSWithMacOSModel with it.
    enum class AfterErase
    {
        Continue,
        WaitForGoAhead,
    };

    // Builds the list of volumes mounted below /Volumes and delivers it at once. Volumes on the device the
    // job is working on are listed without reading anything on them.
    void diskutilList();
    void deviceMounted();
    // Whether lists read each volume's own icon (on by default); without, volumes show the plain drive icon
    // and nothing on them is read, which is quicker.
    void setReadsVolumeIcons(bool reads) { m_readsVolumeIcons = reads; }

    // A whole run: the checks before the erase (on a worker), the erase, then, as `afterErase` says, the
    // create step and the verification. From the erase to the end the drive is followed by its device,
    // wherever the tools mount it: the record's volume names where the erase left it, and after a finished
    // run where the finished drive is.
    void createInstallerDrive(const MacOSModelPtr &macOS, const DiskModelPtr &disk, AfterErase afterErase);
    // Starts a run at the erase step; the erased drive record (with its new volume) or no arrives later.
    void eraseDiskWithDiskModel(const DiskModelPtr &disk);
    // Starts the create step, or goes on with it from Erased; progress, then yes or no arrive later.
    void installMacOSWithMacOSModel(const MacOSModelPtr &macOS, const DiskModelPtr &disk);
    // Stops the run in whatever state it is: the checks' answer is not acted on, an erase that is formatting
    // is let finish, the creation tool is stopped through the privileged helper, a verification stops
    // reading. The run then ends with no and the failure kind Cancelled, once nothing of it runs any more.
    void cancel();
    DiskutilState state() const { return m_state; }
    bool isRunning() const { return m_state != DiskutilState::Idle; }
    // Whether a successful creation is followed by the comparison of the drive with the installer (on by
    // default).
    bool verifies() const { return m_verifies; }
    void setVerifies(bool verifies) { m_verifies = verifies; }
    // The run's checks, once they have answered (the installer's size among them).
    const CreationPreflight::Result &lastCheck() const { return m_lastCheck; }

    void startTimerWithMacOSModel(const MacOSModelPtr &macOS);
    void resetTask();
    // "QRT" and eight capital letters.
    static QString random16BigString();
    // One piece of the creation tool's output; an empty piece is its end.
    void taskMotionNotification(const QByteArray &chunk);
    void taskDidTerminateNotification();

    // Mebibytes of everything below the path, in single precision; 0 when nothing is there.
    static float folderSizeAtPath(const QString &path);
    // The item's own size in bytes; 0 when nothing is there.
    static int64_t fileSizeAtPath(const QString &path);

    // A path quoted for bash whatever it contains: between single quotes, or as $'…' with byte escapes when
    // it is not valid UTF-8, so the shell receives its exact bytes.
    static QString shellQuoted(const QByteArray &path);
    // The shell command of the erase step, with the mount path quoted for the shell.
    static QString eraseCommand(const QString &volumeName, const QByteArray &mountPath);
    // The last line of the output that begins with "Error:", trimmed; empty when there is none.
    static QString lastErrorLine(const QString &output);
    // Runs another verb of the disk utility (mount, eject) with its arguments quoted for the shell; done gets
    // whether it succeeded and, when not, its last "Error:" line (or its status).
    static void runDiskutil(const QString &quotedArguments,
                            std::function<void(bool succeeded, const QString &error)> done);
    // Classifies a failed step from the tool's last "Error:" line.
    static Failure failureFromErrorLine(const QString &line);
    // The creation tool's argument vector for the installer and target volume.
    static QStringList creationArguments(const MacOSModel &macOS, const DiskModel &disk);

    const PrivilegedTaskPtr &task() const { return m_task; }
    void setTask(PrivilegedTaskPtr task) { m_task = std::move(task); }
    QTimer *timer() const { return m_timer; }
    const QString &launchPath() const { return m_launchPath; }
    void setLaunchPath(const QString &path) { m_launchPath = path; }
    const Failure &lastFailure() const { return m_lastFailure; }
    // The device of the drive being erased or created on; 0 while idle.
    dev_t busyDevice() const;

signals:
    // The ratio of data on the target volume to the installer's size.
    void diskutilViewModelProgress(double progress);
    // A drive list, the erased drive, or the run's final yes or no. Whether a run that waits for its
    // go-ahead after the erase goes on depends on this being connected: without a receiver it ends there.
    void diskutilViewModelCompletion(const DiskutilResult &result);
    // How much of the comparison after the copy is read: bytes of both sides together, of their total.
    void diskutilViewModelVerification(qint64 bytesDone, qint64 bytesTotal);
    // A new state has begun (Idle after the final report).
    void diskutilViewModelState(DiskutilState state);

private:
    struct Run;

    // Every change of state goes through here, and only along the run's path.
    void enterState(DiskutilState next);
    bool beginRun(const std::shared_ptr<Run> &run, DiskutilState first);
    // Queues `step` on the GUI thread, to run only while the job lives and `run` is still its current run;
    // callable from any thread.
    void onMainForRun(const std::weak_ptr<Run> &run, std::function<void(DiskutilViewModel &, Run &)> step);
    // Hands a worker's answer to `step` the same way: never inside the call that started the work, even when
    // the work is done first.
    template <class T>
    void whenDone(QFuture<T> work, const std::weak_ptr<Run> &run,
                  std::function<void(DiskutilViewModel &, Run &, const T &)> step);
    void erase(const std::shared_ptr<Run> &run);
    void create(const std::shared_ptr<Run> &run);
    void createStepEnded(const std::shared_ptr<Run> &run);
    // The privileged helper has ended: what waited for it goes on.
    void helperEnded(const std::shared_ptr<Run> &run);
    void whenHelperEnded(const std::shared_ptr<Run> &run,
                         std::function<void(DiskutilViewModel &, Run &)> then);
    void verify(const std::shared_ptr<Run> &run);
    // The verified drive's record: `record`'s installer and maker, made now, the bundle's folder on the drive
    // and every item compared below it.
    static QByteArray recordOf(platform::DriveRecord record, const std::string &bundleFolder,
                               unsigned folderMode, const std::vector<platform::DriveRecord::Item> &items);
    void writeRecord(const std::shared_ptr<Run> &run, const QByteArray &record);
    void measureTick(const std::shared_ptr<Run> &run);
    void startOutputDrain(const std::shared_ptr<Run> &run);
    // Points the run's drive record at where its device is mounted now.
    void followDrive(const Run &run);
    // `recorded`: the drive keeps the record of what was verified.
    void succeed(bool recorded);
    void fail(Failure failure);
    void stopTimer();
    void reportProgress(double progress);
    void reportCompletion(const DiskutilResult &result);

    PrivilegedTaskPtr m_task;
    QPointer<QTimer> m_timer;
    QString m_launchPath;

    DiskutilState m_state = DiskutilState::Idle;
    // The run under way; whatever an older one still delivers finds it replaced and is dropped.
    std::shared_ptr<Run> m_run;
    Failure m_lastFailure;
    CreationPreflight::Result m_lastCheck;
    bool m_verifies = true;
    bool m_readsVolumeIcons = true;
};
