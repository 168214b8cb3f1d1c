#pragma once

#include "Creation/DiskModel.h"
#include "Creation/DiskutilViewModelDelegate.h"
#include "Creation/MacOSModel.h"
#include "Creation/PrivilegedTask.h"
#include "Platform/Runtime/NotificationCenter.h"
#include "Platform/Runtime/RepeatingTimer.h"

#include <QString>
#include <atomic>
#include <memory>
#include <sys/types.h>

// The installer creation job: lists the candidate drives, erases the chosen one under a generated name, then
// runs the installer's own creation tool on it as root while reporting the progress once a second, and
// finally compares what landed on the drive with the installer. Yes is reported only for a drive whose copy
// was read back and found the same. A run can be cancelled in every phase. All reports go to the delegate
// on the main thread.
class DiskutilViewModel : public std::enable_shared_from_this<DiskutilViewModel>
{
public:
    // Creates the job and starts observing volume mounts and privileged-task ends.
    static std::shared_ptr<DiskutilViewModel> create();
    ~DiskutilViewModel();
    DiskutilViewModel(const DiskutilViewModel &) = delete;
    DiskutilViewModel &operator=(const DiskutilViewModel &) = delete;

    // Why the last run failed, for the window's message. Set before the job reports no.
    struct Failure
    {
        enum class Kind
        {
            None,
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
        // The drive was erased but holds no finished installer (and was marked so where anything was put on
        // it).
        bool driveIncomplete = false;
    };

    // Builds the list of volumes mounted below /Volumes and delivers it at once. Volumes on the device the
    // job is working on are listed without reading anything on them.
    void diskutilList();
    void deviceMounted(const platform::Notification &notification);
    void deviceUnmounted(const platform::Notification &notification);
    // Whether lists read each volume's own icon (on by default); without, volumes show the plain drive icon
    // and nothing on them is read, which is quicker.
    void setReadsVolumeIcons(bool reads) { m_readsVolumeIcons = reads; }

    // Starts the erase step; the erased drive record (with its new volume) or no arrives later. From here to
    // the end of the run the drive is followed by its device, wherever the tools mount it: the record's
    // volume names where the erase left it, and after a finished run where the finished drive is.
    void eraseDiskWithDiskModel(const DiskModelPtr &disk);
    // Starts the create step; progress, then yes or no arrive later.
    void installMacOSWithMacOSModel(const MacOSModelPtr &macOS, const DiskModelPtr &disk);
    // Stops the run in whatever phase it is: an erase that is formatting is let finish, the creation tool is
    // stopped through the privileged helper, a verification stops reading. The run then ends with no and
    // the failure kind Cancelled, once nothing of it runs any more. Nothing happens while idle.
    void cancel();
    bool isRunning() const { return m_phase != DiskutilPhase::Idle; }
    DiskutilPhase phase() const { return m_phase; }
    // Whether a successful creation is followed by the comparison of the drive with the installer (on by
    // default).
    bool verifies() const { return m_verifies; }
    void setVerifies(bool verifies) { m_verifies = verifies; }
    void startTimerWithMacOSModel(const MacOSModelPtr &macOS, const DiskModelPtr &disk);
    void resetTask();
    // "QRT" and eight capital letters.
    static QString random16BigString();
    void taskMotionNotification(const platform::Notification &notification);
    void taskDidTerminateNotification(const platform::Notification &notification);

    // Mebibytes of everything below the path, in single precision; 0 when nothing is there.
    static float folderSizeAtPath(const QString &path);
    // The item's own size in bytes; 0 when nothing is there.
    static int64_t fileSizeAtPath(const QString &path);

    // The shell command of the erase step, with the mount path quoted for the shell whatever it contains:
    // between single quotes, or as $'…' with byte escapes when the path is not valid UTF-8, so the shell
    // receives the path's exact bytes.
    static QString eraseCommand(const QString &volumeName, const QByteArray &mountPath);
    // The last line of the output that begins with "Error:", trimmed; empty when there is none.
    static QString lastErrorLine(const QString &output);
    // Classifies a failed step from the tool's last "Error:" line.
    static Failure failureFromErrorLine(const QString &line);
    // The creation tool's argument vector for the installer and target volume.
    static QStringList creationArguments(const MacOSModel &macOS, const DiskModel &disk);

    std::shared_ptr<DiskutilViewModelDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<DiskutilViewModelDelegate> &delegate) { m_delegate = delegate; }
    const PrivilegedTaskPtr &task() const { return m_task; }
    void setTask(PrivilegedTaskPtr task) { m_task = std::move(task); }
    const std::shared_ptr<platform::RepeatingTimer> &timer() const { return m_timer; }
    const QString &launchPath() const { return m_launchPath; }
    void setLaunchPath(const QString &path) { m_launchPath = path; }
    const Failure &lastFailure() const { return m_lastFailure; }
    // The device of the drive being erased or created on; 0 while idle.
    dev_t busyDevice() const { return m_busyDevice; }

private:
    DiskutilViewModel() = default;
    void reportProgress(double progress);
    void reportCompletion(const DiskutilResult &result);
    void reportFailure(const Failure &failure);
    void enterPhase(DiskutilPhase phase);
    void verify(const MacOSModelPtr &macOS, uint64_t run);
    void stopTimer();
    void startOutputDrain();
    void measureTick(const MacOSModelPtr &macOS, uint64_t run);
    void createStepEnded(uint64_t run, const PrivilegedTaskPtr &task);
    void finishFailedStep();
    // Points the run's drive record at where its device is mounted now.
    void followDrive();

    std::weak_ptr<DiskutilViewModelDelegate> m_delegate;
    PrivilegedTaskPtr m_task;
    DiskModelPtr m_drive; // the drive of the current create step
    std::shared_ptr<platform::RepeatingTimer> m_timer;
    QString m_launchPath;

    std::unique_ptr<platform::ObserverToken> m_mountObserver;
    std::unique_ptr<platform::ObserverToken> m_unmountObserver;
    std::unique_ptr<platform::ObserverToken> m_terminateObserver;
    std::unique_ptr<platform::ObserverToken> m_drainObserver;
    // Each create step is a run; reports of an older run are dropped.
    uint64_t m_run = 0;
    bool m_finished = true;
    bool m_measuring = false;
    double m_lastProgress = -1;
    Failure m_lastFailure;
    dev_t m_busyDevice = 0;
    // The creation tool's output not yet ended by a line break, and its last "Error:" line.
    QString m_toolOutputTail;
    QString m_toolErrorLine;
    bool m_failurePending = false;
    DiskutilPhase m_phase = DiskutilPhase::Idle;
    bool m_cancelRequested = false;
    bool m_verifies = true;
    bool m_readsVolumeIcons = true;
    std::shared_ptr<std::atomic<bool>> m_verifyCancel;
};

using DiskutilViewModelPtr = std::shared_ptr<DiskutilViewModel>;
