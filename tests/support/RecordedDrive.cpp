#include "support/RecordedDrive.h"

#include "Platform/Volumes/DriveRecord.h"
#include "Platform/Volumes/TreeVerifier.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

using platform::DriveRecord;

namespace testsupport {

QString RecordedDrive::make(const QString &installer, const QString &version, const QString &volume)
{
    if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), installer, volume}) != 0)
        return QStringLiteral("cp -a %1 %2 failed").arg(installer, volume);
    const QString name = QFileInfo(installer).fileName();
    const std::atomic<bool> go{false};
    std::vector<DriveRecord::Item> items;
    const auto compared = platform::TreeVerifier::compare(
        QFile::encodeName(installer).toStdString(), QFile::encodeName(volume + '/' + name).toStdString(), 0,
        go, {}, &items);
    if (compared.outcome != platform::TreeVerifier::Result::Outcome::Same)
        return QStringLiteral("the copy differs: %1").arg(QString::fromStdString(compared.path));
    DriveRecord record;
    record.installerName = QFileInfo(name).completeBaseName().toStdString();
    record.installerVersion = version.toStdString();
    record.installerType = "0";
    record.made = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    record.madeBy = "tests";
    record.items.push_back({DriveRecord::Item::Kind::Folder, 0755, 0, {}, name.toStdString(), {}});
    for (DriveRecord::Item item : items) {
        item.path = name.toStdString() + '/' + item.path;
        record.items.push_back(std::move(item));
    }
    return writeRecord(volume, record.encode()) ? QString() : QStringLiteral("the record was not written");
}

QString RecordedDrive::recordPath(const QString &volume)
{
    return QStringLiteral("%1/%2/%3").arg(volume, DriveRecord::Folder, DriveRecord::FileName);
}

std::string RecordedDrive::recordText(const QString &volume)
{
    QFile file(recordPath(volume));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

bool RecordedDrive::writeRecord(const QString &volume, const std::string &text)
{
    QDir().mkpath(QFileInfo(recordPath(volume)).path());
    QFile file(recordPath(volume));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}

std::string RecordedDrive::resealed(std::string text)
{
    const size_t last = text.rfind('\n', text.size() - 2);
    text.resize(last + 1);
    const XXH128_hash_t hash = XXH3_128bits(text.data(), text.size());
    return text + "hash " + DriveRecord::hashText(hash.high64, hash.low64) + "\n";
}

bool RecordedDrive::addSparseFile(const QString &volume, const QString &path, uint64_t bytes)
{
    auto read = DriveRecord::decode(recordText(volume));
    const QByteArray file = QFile::encodeName(volume + '/' + path);
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (!read.record || fd < 0)
        return false;
    const bool sized = ::ftruncate(fd, static_cast<off_t>(bytes)) == 0;
    ::close(fd);
    // The content's hash is never reached: the check is stopped long before.
    read.record->items.push_back(
        {DriveRecord::Item::Kind::File, 0644, bytes, std::string(32, '0'), path.toStdString(), {}});
    return sized && ::chmod(file.constData(), 0644) == 0 && writeRecord(volume, read.record->encode());
}

QStringList RecordedDrive::listing(const QString &folder, bool allTimes)
{
    QStringList lines;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info
        {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        lines << QStringLiteral("%1 %2 %3.%4 %5")
                     .arg(path)
                     .arg(info.st_size)
                     .arg(info.st_mtim.tv_sec)
                     .arg(info.st_mtim.tv_nsec)
                     .arg(info.st_mode, 0, 8);
        if (allTimes)
            lines.last() += QStringLiteral(" %1.%2 %3.%4")
                                .arg(info.st_atim.tv_sec)
                                .arg(info.st_atim.tv_nsec)
                                .arg(info.st_ctim.tv_sec)
                                .arg(info.st_ctim.tv_nsec);
    }
    lines.sort();
    return lines;
}

} // namespace testsupport
