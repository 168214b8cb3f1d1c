#include "Cli/CreateCommand.h"

#include "Cli/DriveList.h"
#include "Cli/TerminalText.h"
#include "Creation/BaseModel.h"
#include "Platform/Runtime/StopSignals.h"
#include "Platform/Runtime/Terminal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The tools begin their failure lines with "Error:"; the command line says it its own way, once.
QString withoutErrorWord(const QString &line)
{
    return line.startsWith(QLatin1String("Error:")) ? line.mid(6).trimmed() : line;
}

} // namespace

CreateCommand::CreateCommand(const CommandLine &line, ProgressOutput &output,
                             platform::StopSignals &stopSignals)
    : m_line(line), m_output(output), m_signals(stopSignals)
{
    m_ticker.setInterval(250);
    QObject::connect(&m_ticker, &QTimer::timeout, &m_ticker, [this] { m_output.tick(); });
}

QString CreateCommand::installerProblem() const
{
    const QString path = m_installer->path();
    if (!QFileInfo(path).isDir())
        return QStringLiteral("there is no installer application at %1").arg(path);
    if (m_installer->name().isEmpty())
        return QStringLiteral("%1 is not a macOS installer application (its Contents/Info.plist names no "
                              "CFBundleDisplayName)")
            .arg(path);
    if (!m_installer->installMacOS())
        return QStringLiteral(
                   "\"%1\" is not an installer BootDrive can make a drive of; it supports Install macOS "
                   "Catalina, Mojave, High Sierra and Sierra, and Install OS X El Capitan")
            .arg(m_installer->name());
    switch (m_installer->placement()) {
    case MacOSModel::Placement::MustLeaveApplications:
        return QStringLiteral("%1 must not lie in /Applications; copy it elsewhere, such as your Desktop")
            .arg(m_installer->name());
    case MacOSModel::Placement::MustBeInApplications:
        return QStringLiteral("%1 must lie in /Applications; copy it there first").arg(m_installer->name());
    case MacOSModel::Placement::Acceptable:
        break;
    }
    return {};
}

QString CreateCommand::volumeProblem() const
{
    const QString given = QString::fromLocal8Bit(m_line.volume);
    const QByteArray path = DriveList::mountPathFromArgument(m_line.volume);
    if (path.isEmpty())
        return QStringLiteral("%1 is not a file:/// URL of a mount path; nothing was erased").arg(given);
    // Only the mount path itself names a drive: a link to it could come to point at another one.
    struct stat info
    {};
    if (::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link; give the drive's own mount path as \"bootdrive list\" "
                              "shows it; nothing was erased")
            .arg(given);
    // A drive a desktop mounted (below /media) is the likeliest to be named: say where it is and how to
    // bring it where BootDrive looks, as "list --all" does.
    if (const auto elsewhere = DriveList::mountedElsewhere(platform::RemovableDrives::list(), m_line.volume))
        return QStringLiteral(
                   "%1 (%2) is %3, where BootDrive does not look for drives. Mount it below /Volumes "
                   "with \"%4 %2\" and give the path \"bootdrive list\" then shows; nothing was "
                   "erased")
            .arg(TerminalText::printable(elsewhere->name().isEmpty() ? given : elsewhere->name()),
                 elsewhere->device, TerminalText::printable(DriveList::reason(*elsewhere)),
                 DriveList::mountCommand());
    return QStringLiteral("%1 is not a drive BootDrive can use (see \"bootdrive list\"); nothing was erased")
        .arg(given);
}

void CreateCommand::start()
{
    // Everything downstream names the installer as text: a path that is not valid UTF-8 cannot be named
    // exactly, so it is refused rather than changed into another.
    const QString installerPath = QFile::decodeName(m_line.installer);
    if (QFile::encodeName(installerPath) != m_line.installer)
        return end(
            CommandLine::Refused, QStringLiteral("refused"),
            QStringLiteral("the installer's path %1 is not valid UTF-8; rename it or move the installer "
                           "to a folder whose path is; nothing was erased")
                .arg(DriveList::mountPathText(m_line.installer)));
    m_installer = MacOSModel::initWithURL(QDir::cleanPath(QFileInfo(installerPath).absoluteFilePath()));
    if (const QString problem = installerProblem(); !problem.isEmpty())
        return end(CommandLine::Refused, QStringLiteral("refused"),
                   problem + QStringLiteral("; nothing was erased"));

    m_job = std::make_unique<DiskutilViewModel>();
    DiskutilViewModel *job = m_job.get();
    // The job is the command's own: its connections end with the command.
    QObject::connect(job, &DiskutilViewModel::diskutilViewModelState, job,
                     [this, job](DiskutilState state) { stateChanged(*job, state); });
    QObject::connect(job, &DiskutilViewModel::diskutilViewModelProgress, job,
                     [this, job](double progress) { progressed(*job, progress); });
    QObject::connect(job, &DiskutilViewModel::diskutilViewModelCompletion, job,
                     [this, job](const DiskutilResult &result) { completed(*job, result); });
    m_job->setVerifies(m_line.verify);
    m_drive = DriveList::find(DriveList::current(), m_line.volume);
    if (!m_drive)
        return end(CommandLine::Refused, QStringLiteral("refused"), volumeProblem());
    m_driveName = m_drive->name();

    if (!m_line.yes && !confirmed())
        return;

    m_output.phase(QStringLiteral("checking"), QStringLiteral("Checking the installer and the drive"));
    if (m_output.style() == ProgressOutput::Style::Terminal)
        m_ticker.start();
    // A run cannot be paused as a whole: its programs ignore the terminal's signals, and those running as
    // root are out of this process's reach. Suspending this process alone would leave them writing to the
    // drive unwatched, and the shell's prompt back as if nothing ran.
    m_signals.refuseSuspension([this] {
        if (!m_ended)
            m_output.note(QStringLiteral("A creation cannot be paused; it goes on (Ctrl-C cancels it)"));
    });
    // The job runs the checks on a worker, then erases, creates and verifies; the event loop keeps taking
    // signals meanwhile.
    m_job->createInstallerDrive(m_installer, m_drive, DiskutilViewModel::AfterErase::Continue);
}

bool CreateCommand::confirmed()
{
    const QString summary = m_drive->deviceSummary();
    std::fprintf(stderr,
                 "%s%s will be erased; everything on it will be lost.\n"
                 "Type the volume's name (%s) to erase it: ",
                 DriveList::mountPathText(m_drive->volumePath()).toLocal8Bit().constData(),
                 summary.isEmpty() ? "" : QStringLiteral(" (%1)").arg(summary).toLocal8Bit().constData(),
                 m_driveName.toLocal8Bit().constData());
    std::fflush(stderr);
    const std::optional<QByteArray> answer = platform::Terminal::readLine(stdin, m_signals);
    if (platform::StopSignals::count() > 0) {
        std::fputc('\n', stderr);
        end(CommandLine::Cancelled, QStringLiteral("cancelled"),
            QStringLiteral("Cancelled; nothing was erased"));
        return false;
    }
    if (!answer) {
        std::fputc('\n', stderr);
        end(CommandLine::Refused, QStringLiteral("refused"),
            QStringLiteral("no confirmation (type the volume's name, or pass --yes); nothing was erased"));
        return false;
    }
    if (QString::fromLocal8Bit(*answer).trimmed() != m_driveName) {
        end(CommandLine::Refused, QStringLiteral("refused"),
            QStringLiteral("the name typed is not \"%1\"; nothing was erased").arg(m_driveName));
        return false;
    }
    return true;
}

void CreateCommand::stop(int signal)
{
    if (m_ended)
        return;
    if (m_stopRequested) {
        m_output.note(QStringLiteral("Still stopping (%1 again); the run ends as soon as it is safe")
                          .arg(platform::StopSignals::name(signal)));
        return;
    }
    m_stopRequested = true;
    const bool erasing = m_job && m_job->state() == DiskutilState::Erasing;
    m_output.phase(QStringLiteral("cancelling"),
                   erasing ? QStringLiteral("Cancelling: the erase is let finish, then the run stops")
                           : QStringLiteral("Cancelling"));
    if (m_job && m_job->isRunning())
        m_job->cancel();
}

void CreateCommand::stateChanged(DiskutilViewModel &job, DiskutilState state)
{
    switch (state) {
    case DiskutilState::Erasing:
        m_erased = true;
        m_output.setTotalBytes(job.lastCheck().installerBytes);
        m_output.phase(QStringLiteral("erasing"),
                       QStringLiteral("Erasing %1 (%2)")
                           .arg(DriveList::mountPathText(m_drive->volumePath()), m_drive->deviceSummary()));
        break;
    case DiskutilState::Authorizing:
        // Root is granted the right without a dialog; nobody is waited for then.
        m_output.phase(QStringLiteral("authorizing"),
                       ::geteuid() == 0 ? QStringLiteral("Starting the creation tool as root")
                                        : QStringLiteral("Waiting for administrator rights"));
        break;
    case DiskutilState::Creating:
        m_output.phase(QStringLiteral("creating"),
                       QStringLiteral("Putting %1 on the drive").arg(m_installer->name()));
        break;
    case DiskutilState::Verifying:
        // The tool ended successfully: everything is on the drive, whatever the last measurement said.
        m_output.progress(1.0);
        m_output.phase(QStringLiteral("verifying"),
                       QStringLiteral("Reading the drive back and comparing it with the installer"));
        break;
    case DiskutilState::Idle:
    case DiskutilState::Checking:
    case DiskutilState::Erased:
        break;
    }
}

void CreateCommand::progressed(DiskutilViewModel &job, double progress)
{
    if (job.state() == DiskutilState::Creating || progress >= 1.0)
        m_output.progress(progress);
}

void CreateCommand::completed(DiskutilViewModel &job, const DiskutilResult &result)
{
    switch (result.kind) {
    case DiskutilResult::Kind::Drives:
    case DiskutilResult::Kind::Erased:
        // The job goes on by itself.
        return;
    case DiskutilResult::Kind::Yes: {
        // The drive record follows the drive: it names where the finished drive is mounted.
        const QString ready = QStringLiteral("The installer drive is ready at %1")
                                  .arg(DriveList::mountPathText(m_drive->volumePath()));
        if (result.recorded)
            return end(CommandLine::Done, QStringLiteral("done"), ready + QStringLiteral(" (verified)"));
        return end(CommandLine::Done, QStringLiteral("done"),
                   ready + (m_line.verify
                                ? QStringLiteral(" (verified); its record could not be written on it, so "
                                                 "it cannot be re-checked later")
                                : QStringLiteral(" (not verified); nothing was recorded on it, so it "
                                                 "cannot be re-checked later")));
    }
    case DiskutilResult::Kind::No:
        break;
    }
    const DiskutilViewModel::Failure &failure = job.lastFailure();
    if (failure.kind == DiskutilViewModel::Failure::Kind::Refused)
        return end(CommandLine::Refused, QStringLiteral("refused"), refusalText(failure.check, *m_drive));
    const QString incomplete =
        failure.driveIncomplete
            ? QStringLiteral("; the drive at %1 holds no complete installer and must be made again")
                  .arg(DriveList::mountPathText(m_drive->volumePath()))
            : QString();
    // A stop signal can arrive while the end is on its way, before the event loop has handed it over: the
    // user stopped this run all the same.
    const bool stopped = platform::StopSignals::count() > 0 &&
                         failure.kind != DiskutilViewModel::Failure::Kind::ToolStillRunning;
    if (failure.kind == DiskutilViewModel::Failure::Kind::Cancelled || stopped)
        return end(CommandLine::Cancelled, QStringLiteral("cancelled"),
                   m_erased ? QStringLiteral("Cancelled") + incomplete
                            : QStringLiteral("Cancelled; nothing was erased"));
    end(CommandLine::Failed, QStringLiteral("failed"), failureText(failure) + incomplete);
}

QString CreateCommand::refusalText(const CreationPreflight::Result &result, const DiskModel &drive)
{
    switch (result.refusal) {
    case CreationPreflight::Refusal::DriveGone:
        return QStringLiteral("the drive %1 is no longer mounted at %2; nothing was erased")
            .arg(drive.name(), drive.volume());
    case CreationPreflight::Refusal::InstallerOnDrive:
        return QStringLiteral(
            "the installer lies on the drive that would be erased; copy it elsewhere first. "
            "Nothing was erased");
    case CreationPreflight::Refusal::ToolCannotRun:
        return QStringLiteral(
            "the installer's createinstallmedia cannot run on this machine; nothing was erased");
    case CreationPreflight::Refusal::DriveTooSmall:
        return QStringLiteral("the drive is too small: it needs %1, it holds %2; nothing was erased")
            .arg(BaseModel::fileSizeString(static_cast<int64_t>(result.needed)),
                 BaseModel::fileSizeString(static_cast<int64_t>(result.capacity)));
    case CreationPreflight::Refusal::NoMountPoint:
        return QStringLiteral(
            "no mount point below /Volumes is free for the finished drive; nothing was erased");
    case CreationPreflight::Refusal::None:
        break;
    }
    return {};
}

QString CreateCommand::failureText(const DiskutilViewModel::Failure &failure)
{
    using Kind = DiskutilViewModel::Failure::Kind;
    switch (failure.kind) {
    case Kind::AuthorizationRefused:
        return QStringLiteral("administrator rights were not granted");
    case Kind::ToolError:
        return withoutErrorWord(failure.detail);
    case Kind::VerificationFailed:
        return QStringLiteral("verification failed: %1 on the drive differs from the installer")
            .arg(failure.detail);
    case Kind::ToolStillRunning:
        return QStringLiteral("the creation tool could not be stopped and may still be writing to the drive; "
                              "do not unplug it");
    case Kind::NoSpace:
        if (!failure.detail.isEmpty())
            return withoutErrorWord(failure.detail);
        break;
    case Kind::Refused:
    case Kind::Cancelled:
    case Kind::Unknown:
    case Kind::None:
        break;
    }
    return QStringLiteral("the installer drive could not be made; make sure the drive has enough space");
}

void CreateCommand::end(CommandLine::Status status, const QString &outcome, const QString &message)
{
    if (m_ended)
        return;
    m_ended = true;
    m_status = status;
    m_ticker.stop();
    m_output.finish(outcome, message);
    QCoreApplication::exit(status);
}
