#include "Platform/MountTable.h"

#include <QFile>
#include <QList>
#include <sys/sysmacros.h>

namespace platform {

QByteArray MountTable::decodeEscapes(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = digits.size() == 3;
            for (char d : digits)
                ok = ok && d >= '0' && d <= '7';
            if (ok) {
                out.append(static_cast<char>(digits.toInt(nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

std::vector<MountEntry> MountTable::parse(const QByteArray &mountInfo)
{
    std::vector<MountEntry> entries;
    for (const QByteArray &line : mountInfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id parent major:minor root mount-point options [optional…] - fstype source super-options
        const qsizetype separator = fields.indexOf(QByteArray("-"));
        if (fields.size() < 7 || separator < 6 || separator + 2 >= fields.size())
            continue;
        MountEntry entry;
        entry.deviceNumber = QString::fromLatin1(fields[2]);
        const QList<QByteArray> numbers = fields[2].split(':');
        if (numbers.size() == 2)
            entry.device = makedev(numbers[0].toUInt(), numbers[1].toUInt());
        entry.mountPointBytes = decodeEscapes(fields[4]);
        entry.mountPoint = QFile::decodeName(entry.mountPointBytes);
        entry.fileSystemType = QFile::decodeName(decodeEscapes(fields[separator + 1]));
        entry.source = QFile::decodeName(decodeEscapes(fields[separator + 2]));
        entries.push_back(entry);
    }
    return entries;
}

std::vector<MountEntry> MountTable::read(const QString &mountInfoPath)
{
    QFile file(mountInfoPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // /proc files report no size; read to the end.
    return parse(file.readAll());
}

std::vector<MountEntry> MountTable::visibleVolumes()
{
    std::vector<MountEntry> visible;
    for (auto &entry : read()) {
        const QByteArray &point = entry.mountPointBytes;
        if (!point.mid(point.lastIndexOf('/') + 1).startsWith('.'))
            visible.push_back(std::move(entry));
    }
    return visible;
}

MountEntry MountTable::entryForMountPoint(const QString &path)
{
    return entryForMountPoint(QFile::encodeName(path));
}

MountEntry MountTable::entryForMountPoint(const QByteArray &path)
{
    MountEntry found;
    for (auto &entry : read())
        if (entry.mountPointBytes == path)
            found = entry;
    return found;
}

} // namespace platform
