#include "Creation/CreationPreflight.h"

#include "Platform/Posix/ExecutableFormat.h"
#include "Platform/Posix/VolumeMountPoint.h"
#include "Platform/Posix/VolumeSpace.h"
#include "Platform/Volumes/FileSystem.h"
#include "Platform/Volumes/MountTable.h"

#include <QFile>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace {

QByteArray realPath(const QByteArray &path)
{
    char buffer[PATH_MAX];
    return ::realpath(path.constData(), buffer) ? QByteArray(buffer) : QByteArray();
}

bool driveIsMounted(const CreationPreflight::Input &input)
{
    for (const platform::MountEntry &entry : platform::MountTable::visibleVolumes())
        if (entry.mountPointBytes == input.volumePath && (input.device == 0 || entry.device == input.device))
            return true;
    return false;
}

bool installerIsOnDrive(const CreationPreflight::Input &input)
{
    struct stat bundle
    {};
    if (::stat(input.bundlePath.constData(), &bundle) == 0 && input.device != 0 &&
        bundle.st_dev == input.device)
        return true;
    const QByteArray bundleReal = realPath(input.bundlePath);
    const QByteArray volumeReal = realPath(input.volumePath);
    return !bundleReal.isEmpty() && !volumeReal.isEmpty() &&
           (bundleReal == volumeReal || bundleReal.startsWith(volumeReal + '/'));
}

} // namespace

CreationPreflight::Input CreationPreflight::inputFor(const MacOSModel &installer, const DiskModel &drive)
{
    Input input;
    input.bundlePath = QFile::encodeName(installer.path());
    input.toolPath = QFile::encodeName(installer.creationToolPath());
    input.volumePath = drive.volumePath();
    input.device = drive.deviceNumber();
    input.capacity = drive.capacity();
    input.finishedName = installer.name().toUtf8();
    return input;
}

CreationPreflight::Result CreationPreflight::check(const Input &input)
{
    Result result;
    if (!driveIsMounted(input)) {
        result.refusal = Refusal::DriveGone;
        result.detail = QStringLiteral("no volume of the confirmed device is mounted at %1")
                            .arg(QFile::decodeName(input.volumePath));
        return result;
    }
    if (installerIsOnDrive(input)) {
        result.refusal = Refusal::InstallerOnDrive;
        result.detail =
            QStringLiteral("%1 lies on the drive to be erased").arg(QFile::decodeName(input.bundlePath));
        return result;
    }
    if (const std::string why = posix::ExecutableFormat::whyCannotRun(input.toolPath.toStdString());
        !why.empty()) {
        result.refusal = Refusal::ToolCannotRun;
        result.detail = QString::fromStdString(why);
        return result;
    }
    // A taken name gives the finished drive a numbered mount point of its own; only when none is free would
    // the run fail after the erase. The drive's own mount point is freed by the erase.
    if (!input.finishedName.isEmpty() &&
        posix::VolumeMountPoint::predict("/Volumes", input.finishedName.toStdString(),
                                         {input.volumePath.toStdString()})
            .empty()) {
        result.refusal = Refusal::NoMountPoint;
        result.detail = QStringLiteral("no mount point below /Volumes is free for %1")
                            .arg(QString::fromUtf8(input.finishedName));
        return result;
    }
    posix::VolumeSpace space;
    struct stat top
    {};
    if (::stat(input.bundlePath.constData(), &top) == 0)
        space.add(top);
    platform::FileSystem::walkBelow(QFile::decodeName(input.bundlePath), [&](const struct stat &info) {
        space.add(info);
        result.installerBytes += info.st_size;
    });
    if (input.capacity > 0) {
        if (!space.fitsOn(input.capacity)) {
            result.refusal = Refusal::DriveTooSmall;
            result.needed = space.capacityNeeded();
            result.capacity = input.capacity;
            result.detail = QStringLiteral("the installer needs a drive of %1 bytes, this one has %2")
                                .arg(result.needed)
                                .arg(result.capacity);
        }
    }
    return result;
}
