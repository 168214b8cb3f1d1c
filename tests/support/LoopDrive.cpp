#include "support/LoopDrive.h"

#include "Platform/Volumes/MountTable.h"
#include "support/PrivateMounts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/loop.h>
#include <linux/major.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace testsupport {

namespace {

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QString LoopDrive::skipReason()
{
    if (!PrivateMounts::ready())
        return PrivateMounts::skipReason();
    const int control = open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    if (control < 0)
        return QStringLiteral("no loop devices (/dev/loop-control: %1)").arg(errnoText());
    close(control);
    static const bool haveMkfs = [] {
        QProcess mkfs;
        mkfs.start(QStringLiteral("mkfs.ext4"), {QStringLiteral("-V")});
        return mkfs.waitForFinished() && mkfs.exitStatus() == QProcess::NormalExit && mkfs.exitCode() == 0;
    }();
    if (!haveMkfs)
        return QStringLiteral("mkfs.ext4 is not installed");
    return {};
}

LoopDrive::LoopDrive(const QString &name, qint64 bytes, bool mountIt) : m_name(name), m_bytes(bytes)
{
    if (setUp() && mountIt)
        mountAt(QStringLiteral("/Volumes/%1").arg(name));
}

bool LoopDrive::setUp()
{
    if (const QString reason = skipReason(); !reason.isEmpty()) {
        fail(reason);
        return false;
    }
    if (m_name.isEmpty() || m_name.contains(QLatin1Char('/')) || m_name == QLatin1String(".") ||
        m_name == QLatin1String("..")) {
        fail(QStringLiteral("invalid drive name"));
        return false;
    }
    if (!m_dir.isValid()) {
        fail(QStringLiteral("no temporary folder: %1").arg(m_dir.errorString()));
        return false;
    }
    m_imagePath = QFileInfo(m_dir.filePath(QStringLiteral("drive.img"))).absoluteFilePath();
    m_imageFd = open(QFile::encodeName(m_imagePath).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (m_imageFd < 0 || ftruncate(m_imageFd, m_bytes) != 0) {
        fail(QStringLiteral("cannot create the image: %1").arg(errnoText()));
        return false;
    }
    // The kernel reports the backing file by its real path.
    m_imagePath = QFileInfo(m_imagePath).canonicalFilePath();
    return attach() && format(m_name);
}

void LoopDrive::fail(const QString &what)
{
    if (m_error.isEmpty())
        m_error = what;
}

bool LoopDrive::attach(const std::function<void(const QString &device)> &beforeAttaching)
{
    const int control = open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    if (control < 0) {
        fail(QStringLiteral("/dev/loop-control: %1").arg(errnoText()));
        return false;
    }
    // Other processes take free devices too: a device taken between asking and configuring is skipped.
    for (int attempt = 0; attempt < 50 && m_loopFd < 0; ++attempt) {
        const int number = ioctl(control, LOOP_CTL_GET_FREE);
        if (number < 0) {
            fail(QStringLiteral("no free loop device: %1").arg(errnoText()));
            break;
        }
        const QString path = QStringLiteral("/dev/loop%1").arg(number);
        const int fd = open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (beforeAttaching)
            beforeAttaching(path);
        loop_config config{};
        config.fd = static_cast<__u32>(m_imageFd);
        // Detached by the kernel as soon as nothing holds it, even if this process dies.
        config.info.lo_flags = LO_FLAGS_AUTOCLEAR;
        const QByteArray file = QFile::encodeName(m_imagePath);
        std::strncpy(reinterpret_cast<char *>(config.info.lo_file_name), file.constData(), LO_NAME_SIZE - 1);
        if (ioctl(fd, LOOP_CONFIGURE, &config) != 0) {
            const int code = errno;
            close(fd);
            if (code == EBUSY)
                continue;
            errno = code;
            fail(QStringLiteral("LOOP_CONFIGURE on %1: %2").arg(path, errnoText()));
            break;
        }
        struct stat info
        {};
        fstat(fd, &info);
        m_loopFd = fd;
        m_device = path;
        m_rdev = info.st_rdev;
    }
    close(control);
    if (m_loopFd < 0) {
        fail(QStringLiteral("could not attach a loop device"));
        return false;
    }
    return true;
}

bool LoopDrive::isOwnDevice(QString &why) const
{
    static const QRegularExpression loopName(QStringLiteral("^/dev/loop([0-9]+)$"));
    const auto match = loopName.match(m_device);
    if (m_loopFd < 0 || !match.hasMatch()) {
        why = QStringLiteral("%1 is not a loop device of this fixture").arg(m_device);
        return false;
    }
    struct stat node
    {
    }, held{}, image{};
    if (stat(QFile::encodeName(m_device).constData(), &node) != 0 || !S_ISBLK(node.st_mode) ||
        major(node.st_rdev) != LOOP_MAJOR || fstat(m_loopFd, &held) != 0 || held.st_rdev != node.st_rdev ||
        fstat(m_imageFd, &image) != 0) {
        why = QStringLiteral("%1 is not the loop device this fixture attached").arg(m_device);
        return false;
    }
    loop_info64 info{};
    if (ioctl(m_loopFd, LOOP_GET_STATUS64, &info) != 0 || info.lo_inode != image.st_ino ||
        info.lo_device != image.st_dev) {
        why = QStringLiteral("%1 is not backed by this fixture's image").arg(m_device);
        return false;
    }
    QFile backing(QStringLiteral("/sys/block/loop%1/loop/backing_file").arg(match.captured(1)));
    if (!backing.open(QIODevice::ReadOnly) ||
        QString::fromLocal8Bit(backing.readAll()).trimmed() != m_imagePath) {
        why = QStringLiteral("the backing file of %1 is not %2").arg(m_device, m_imagePath);
        return false;
    }
    return true;
}

QStringList LoopDrive::mountPoints() const
{
    QStringList points;
    if (m_rdev == 0)
        return points;
    for (const auto &entry : platform::MountTable::read())
        if (entry.device == m_rdev)
            points << entry.mountPoint;
    return points;
}

QString LoopDrive::mountPoint() const
{
    const QStringList points = mountPoints();
    return points.isEmpty() ? QString() : points.last();
}

QString LoopDrive::fileSystemType() const
{
    QString type;
    for (const auto &entry : platform::MountTable::read())
        if (m_rdev != 0 && entry.device == m_rdev)
            type = entry.fileSystemType;
    return type;
}

bool LoopDrive::format(const QString &label)
{
    QString why;
    if (!isOwnDevice(why)) {
        fail(why);
        return false;
    }
    if (!mountPoints().isEmpty()) {
        fail(QStringLiteral("%1 is mounted; not formatting it").arg(m_device));
        return false;
    }
    // ext4 labels hold 16 bytes; cut at a character boundary.
    QString cut;
    for (const QChar c : label) {
        if ((cut + c).toUtf8().size() > 16)
            break;
        cut += c;
    }
    QProcess mkfs;
    mkfs.setProcessChannelMode(QProcess::MergedChannels);
    mkfs.start(QStringLiteral("mkfs.ext4"),
               {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-L"), cut, m_device});
    if (!mkfs.waitForFinished(120000) || mkfs.exitStatus() != QProcess::NormalExit || mkfs.exitCode() != 0) {
        fail(QStringLiteral("mkfs.ext4 %1 failed: %2").arg(m_device, QString::fromLocal8Bit(mkfs.readAll())));
        return false;
    }
    return true;
}

bool LoopDrive::mountAt(const QString &path)
{
    return mountAtBytes(QFile::encodeName(path));
}

bool LoopDrive::mountAtBytes(const QByteArray &target)
{
    QString why;
    const QString path = QFile::decodeName(target);
    if (!PrivateMounts::ready()) {
        fail(QStringLiteral("not mounting outside the private mount namespace"));
        return false;
    }
    if (!isOwnDevice(why)) {
        fail(why);
        return false;
    }
    if (!target.startsWith("/Volumes/") || target.contains("/..") || target.contains("/./")) {
        fail(QStringLiteral("drives are mounted below /Volumes only"));
        return false;
    }
    // The folders on the way may be new too; made byte by byte, as the path need not be text.
    bool made = true;
    for (qsizetype slash = target.indexOf('/', 1); made; slash = target.indexOf('/', slash + 1)) {
        const QByteArray folder = slash < 0 ? target : target.left(slash);
        made = ::mkdir(folder.constData(), 0755) == 0 || errno == EEXIST;
        if (slash < 0)
            break;
    }
    if (!made) {
        fail(QStringLiteral("cannot create the folder %1").arg(path));
        return false;
    }
    if (mount(QFile::encodeName(m_device).constData(), target.constData(), "ext4", 0, nullptr) != 0) {
        fail(QStringLiteral("mount %1 at %2: %3").arg(m_device, path, errnoText()));
        return false;
    }
    return true;
}

bool LoopDrive::unmountAll()
{
    bool all = true;
    std::vector<QByteArray> points;
    for (const auto &entry : platform::MountTable::read())
        if (m_rdev != 0 && entry.device == m_rdev)
            points.push_back(entry.mountPointBytes);
    // Stacked mounts come off top first.
    for (auto it = points.crbegin(); it != points.crend(); ++it) {
        if (umount2(it->constData(), UMOUNT_NOFOLLOW) != 0 &&
            umount2(it->constData(), MNT_DETACH | UMOUNT_NOFOLLOW) != 0)
            all = false;
        else if (it->startsWith("/Volumes/"))
            rmdir(it->constData());
    }
    return all;
}

bool LoopDrive::detach()
{
    QString why;
    if (m_loopFd < 0 || !unmountAll() || !isOwnDevice(why) || ioctl(m_loopFd, LOOP_CLR_FD) != 0)
        return false;
    // With the last descriptor closed the device is free, as a stick pulled out.
    close(m_loopFd);
    m_loopFd = -1;
    m_device.clear();
    m_rdev = 0;
    return true;
}

LoopDrive::~LoopDrive()
{
    if (m_loopFd >= 0) {
        unmountAll();
        QString why;
        if (isOwnDevice(why))
            ioctl(m_loopFd, LOOP_CLR_FD);
        close(m_loopFd);
    }
    if (m_imageFd >= 0)
        close(m_imageFd);
}

} // namespace testsupport
