#pragma once

#include "Creation/CreationPreflight.h"
#include "Creation/DiskModel.h"
#include "Creation/DiskutilViewModel.h"
#include "Creation/DriveCheck.h"
#include "Creation/MacOSModel.h"
#include "Platform/Desktop/DesktopNotifier.h"
#include "Platform/Desktop/SleepInhibitor.h"
#include "Service/InstallationImageViewModel.h"
#include "UI/CatalogRetry.h"
#include "UI/CollectionView.h"
#include "UI/RunStatus.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

class CircularProgress;
namespace platform {
class StopSignals;
}
class OtherDrivesPanel;
class QAction;
class QComboBox;
class QLabel;
class QMessageBox;
class QPushButton;
namespace Ui {
class MainWindow;
}

// The controller of the application's window: the drive pop-up, the installer picker and its checks, the
// confirmation, the two phases of the creation job with the progress ring, and the result alerts; beside
// them the catalog of installer images and the update notice.
class MainViewController : public QWidget, public CollectionViewDataSource, public CollectionViewDelegate
{
    Q_OBJECT

public:
    // The tutorial opened after a successful run.
    static QUrl tutorialUrl();

    explicit MainViewController(QWidget *parent = nullptr);
    ~MainViewController() override;

    // Set-up once the view exists: the job and the first drive list; the rest (the drives' own icons, the
    // background, the ring's styling, the catalog and update requests) follows right after the first frame.
    void viewDidLoad();
    // True once the rest has been done.
    bool isLoaded() const { return m_loaded; }
    void updateDiskList();
    void updateUI();
    void makeSystemDisk();

    // The job's reports.
    void jobCompleted(const DiskutilResult &result);
    void jobProgressed(double progress);
    void jobStateChanged(DiskutilState state);
    void jobVerificationRead(qint64 bytesDone, qint64 bytesTotal);
    // From now on, the system's requests to stop (SIGTERM when the session ends, SIGHUP when its terminal
    // goes, Ctrl-C there) close the window as the user would: in the middle of a run it asks before stopping
    // it.
    void closeOnStopSignals();
    // Asks whether to stop the running job or check (the ring's cancel button, closing the window); on yes
    // it stops and, with thenQuit, the window closes after it.
    void confirmCancel(bool thenQuit);
    // Reads the chosen drive back against the record it keeps of itself ("Verify Drive" in the pop-up's
    // menu) and says whether it is intact, what changed, or why it cannot be checked.
    void verifyDrive();
    bool isCheckingDrive() const { return m_driveCheck && m_driveCheck->isRunning(); }

    // Outlets; the view hierarchy owns the widgets.
    CircularProgress *circularProgress = nullptr;
    QComboBox *diskListPopUpButton = nullptr;
    CollectionView *collectionView = nullptr;
    QLabel *macOSInfoLabel = nullptr;
    QPushButton *selectMacOSButton = nullptr;
    QPushButton *makeMacOSButton = nullptr;
    QLabel *tipsLabel = nullptr;
    QLabel *addImageView = nullptr;
    QLabel *bgImageView = nullptr;
    // What the user needs to know and do next, beside the controls above.
    QLabel *startHintLabel = nullptr;             // why the start button is off
    QLabel *statusLabel = nullptr;                // a run's phase, share, speed and time left
    QLabel *driveHintLabel = nullptr;             // how to get a drive when none is offered
    OtherDrivesPanel *otherDrivesPanel = nullptr; // removable drives not offered, to mount below /Volumes
    QPushButton *cancelRunButton = nullptr;
    QPushButton *ejectButton = nullptr;
    QLabel *catalogStatusLabel = nullptr;
    QPushButton *catalogRetryButton = nullptr;
    QAction *verifyDriveAction = nullptr; // in the pop-up's context menu

    DiskutilViewModel *viewModel() const { return m_viewModel; }
    const std::vector<DiskModelPtr> &dataArray() const { return m_dataArray; }
    const MacOSModelPtr &macOSModel() const { return m_macOSModel; }
    const DiskModelPtr &diskModel() const { return m_diskModel; }
    const std::vector<MacOSModelPtr> &filesArray() const { return m_filesArray; }
    // Whether the checks that need no erase have passed for the chosen installer and drive.
    bool choicesPassChecks() const;
    // Whether those checks are still running.
    bool checkingChoices() const;

    // The catalog's data source and delegate.
    int numberOfItems(CollectionView &view, int section) override;
    CollectionViewItem *itemForIndex(CollectionView &view, int index) override;
    QSize sizeForItem(CollectionView &view, int index) override;
    void didSelectItem(CollectionView &view, int index) override;
    // The update notice: the only way on is to download; the application then quits. From the confirmation
    // of a run until its result has been answered the notice waits, so it never ends a run.
    void showUpdateNotice(const QString &downloadUrl);
    bool holdsNotices() const { return m_holdingNotices; }

public slots:
    void selectDiskAction();
    void selectMacOSAction();
    void makeAction();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void finishLoading();
    void requestCatalog();
    void checkInstaller(const MacOSModelPtr &candidate);
    // Runs the checks that need no erase for the chosen installer and drive, on a worker; updateUI follows.
    void recheckChoices();
    QString startHint() const;
    void updateDriveHint();
    void updateTabOrder();
    void showStatus();
    // The status line and the eject button of a finished run go once the user starts anew.
    void clearFinishedRun();
    // The notices held back during a run come now.
    void releaseNotices();
    void ejectMadeDrive();
    // After the confirmation: the checks, then the erase of exactly that drive.
    void startJob(const DiskModelPtr &drive);
    // The failure alert with its cause, and what it means for the drive when anything.
    void showFailure(const QString &cause, const QString &consequence = QString());
    // The name of the drive the current run writes, as it is mounted now.
    QString runDriveName() const;
    // The drive as the user knew it when confirming: its name with its maker and model, else its device.
    static QString describedDrive(const DiskModel &drive);
    // What the pop-up's row for the drive says.
    static QString popUpTitle(const DiskModel &drive);
    // How the last run ended, for the start button and the hint until the user picks again.
    enum class AfterRun
    {
        None,
        Succeeded,
        Stopped, // failed or cancelled: only a new pick turns the start button back on
    };
    // The controls of the choosing phase after a run, whatever its end.
    void returnToChoosing(AfterRun how);
    void cancelJob();
    // From the confirmation to the final report, or while a drive is checked: nothing can be started or
    // chosen, closing asks first, notices wait, and the computer stays awake for the activity named.
    void setJobRunning(bool running, const QString &activity = QString());
    // The ring over the panel, spinning until the progress is known, with its cancel button on hover.
    void showRunningRing();
    void driveCheckRead(qint64 bytesDone, qint64 bytesTotal);
    void driveCheckFinished(const DriveCheck::Result &result);
    // The alert's headline, text and details for a check's end.
    struct CheckReport
    {
        QString title;
        QString text;
        QString detail;
    };
    static CheckReport checkReport(const DriveCheck::Result &result, const QString &drive);
    // The record's line of a pop-up row, read off the GUI thread once the row is there.
    void showRecordOf(const DiskModelPtr &disk, int key, uint64_t generation);
    // A run's result also goes to the desktop when the user is elsewhere; a click on it brings the window
    // back.
    void noticeResult(const QString &summary, const QString &body);
    bool isWindowActive() const;
    void bringToFront();
    // The end of a cancelled run: the choices stay, the user is told the drive is incomplete.
    void finishCancelled();
    static QString refusalText(const CreationPreflight::Result &result, const DiskModel &drive);
    static QString catalogFailureText(const InstallationImageViewModel::CatalogFailure &failure);
    static QString failureText(const DiskutilViewModel::Failure &failure, const DiskModel &drive);
    void showAddImage();
    void showInstallerImage(const QImage &image);
    void layoutBackground();
    // The window's size and minimum from the room its screen has.
    void fitToScreen();
    void showBackground();
    static QString styleSheetText();

    std::unique_ptr<Ui::MainWindow> m_ui;
    DiskutilViewModel *m_viewModel = nullptr;
    std::vector<DiskModelPtr> m_dataArray;
    MacOSModelPtr m_macOSModel;
    DiskModelPtr m_diskModel;
    // The erased drive's record the job follows through a run; it ends up naming the finished drive.
    DiskModelPtr m_runDrive;
    QString m_confirmedName; // the run's drive as the user confirmed it, with its maker and model or device
    InstallationImageViewModel *m_installationImageViewModel = nullptr;
    std::vector<MacOSModelPtr> m_filesArray;
    // Pop-up items name their drive by key, so a pick always finds the drive that item was made for.
    QHash<int, DiskModelPtr> m_itemDrives;
    int m_nextItemKey = 1;
    // Item additions queued for an older list are dropped when the list is refilled.
    uint64_t m_popUpGeneration = 0;
    // From the confirmation to the job's final report; the start button stays off meanwhile.
    bool m_jobRunning = false;
    bool m_loaded = false;
    bool m_hintsShown = false; // from right after the first frame
    bool m_cancelling = false;
    bool m_quitAfterCancel = false;
    AfterRun m_afterRun = AfterRun::None;
    bool m_holdingNotices = false;
    std::optional<QString> m_heldUpdateLink;
    QPointer<QMessageBox> m_cancelAlert;
    // The checks for the current choices: for which pair, whether they still run, and what they said.
    struct ChoiceCheck
    {
        DiskModelPtr drive;
        MacOSModelPtr installer;
        bool pending = false;
        CreationPreflight::Result result;
        uint64_t generation = 0;
    };
    ChoiceCheck m_check;
    RunStatus m_runStatus;
    QElapsedTimer m_runClock;
    CatalogRetry *m_catalogRetry = nullptr;
    // The drive the last successful run made, for ejecting it.
    QByteArray m_madeDrive;
    DriveCheck *m_driveCheck = nullptr;
    // Drives' records are read for their rows once the first frame is up.
    bool m_readsRecords = false;
    platform::SleepInhibitor m_sleepInhibitor;
    platform::DesktopNotifier m_notifier;
    std::unique_ptr<platform::StopSignals> m_stopSignals;
};
