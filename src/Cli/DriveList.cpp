#include "Cli/DriveList.h"

#include "Cli/TerminalText.h"
#include "Common/ForeignText.h"
#include "Creation/BaseModel.h"
#include "Creation/DiskutilViewModel.h"
#include "Creation/DriveCheck.h"
#include "Platform/Runtime/InstallLayout.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>

std::vector<DiskModelPtr> DriveList::current()
{
    DiskutilViewModel job;
    std::vector<DiskModelPtr> drives;
    QObject::connect(&job, &DiskutilViewModel::diskutilViewModelCompletion,
                     [&drives](const DiskutilResult &result) {
                         if (result.kind == DiskutilResult::Kind::Drives)
                             drives = result.drives;
                     });
    // The list arrives before the call returns.
    job.diskutilList();
    return drives;
}

namespace {

QJsonObject offeredObject(const DiskModel &drive)
{
    QJsonObject object{
        {QStringLiteral("name"), drive.name()},
        {QStringLiteral("volume"), DriveList::mountPathText(drive.volumePath())},
        {QStringLiteral("device"), drive.deviceNode()},
        {QStringLiteral("capacity"), static_cast<qint64>(drive.capacity())},
        {QStringLiteral("incomplete"), drive.isIncompleteInstaller()},
    };
    if (!drive.vendor().isEmpty())
        object.insert(QStringLiteral("vendor"), drive.vendor());
    if (!drive.model().isEmpty())
        object.insert(QStringLiteral("model"), drive.model());
    if (const auto made = DriveCheck::madeOf(drive.volumePath(), drive.deviceNumber()))
        object.insert(QStringLiteral("record"),
                      QJsonObject{{QStringLiteral("installer"), ForeignText::bounded(made->installer)},
                                  {QStringLiteral("version"), ForeignText::bounded(made->version)},
                                  {QStringLiteral("made"), ForeignText::bounded(made->made)}});
    return object;
}

// "Install macOS Mojave 10.14.6, 2026-12-08 10:30" for a drive with a record of how it was made.
QString madeText(const DiskModel &drive)
{
    const auto made = DriveCheck::madeOf(drive.volumePath(), drive.deviceNumber());
    if (!made)
        return QStringLiteral("-");
    return TerminalText::printable(QStringLiteral("%1 %2, %3")
                                       .arg(ForeignText::bounded(made->installer),
                                            ForeignText::bounded(made->version),
                                            DriveCheck::localTime(made->made))
                                       .simplified());
}

QString product(const QString &vendor, const QString &model)
{
    const QString both = QStringList{vendor, model}.join(QLatin1Char(' ')).trimmed();
    return both.isEmpty() ? QStringLiteral("-") : TerminalText::printable(both);
}

QString capacityText(uint64_t bytes)
{
    return bytes ? BaseModel::fileSizeString(static_cast<int64_t>(bytes)) : QStringLiteral("-");
}

// Columns as wide as their widest cell, in terminal columns (a Chinese name takes two per character).
QString columns(const QList<QStringList> &rows, bool colour)
{
    QList<int> widths;
    for (const QStringList &row : rows)
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths[i], TerminalText::columns(row[i]));
        }
    QString text;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        QString line;
        for (qsizetype i = 0; i < rows[r].size(); ++i)
            line += i + 1 < rows[r].size()
                        ? rows[r][i] +
                              QString(widths[i] + 2 - TerminalText::columns(rows[r][i]), QLatin1Char(' '))
                        : rows[r][i];
        text += (r == 0 ? TerminalText::painted(line, TerminalText::Colour::Bold, colour) : line) +
                QLatin1Char('\n');
    }
    return text;
}

} // namespace

QByteArray DriveList::json(const std::vector<DiskModelPtr> &drives)
{
    QJsonArray list;
    for (const DiskModelPtr &drive : drives)
        list.append(offeredObject(*drive));
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

QByteArray DriveList::json(const std::vector<DiskModelPtr> &drives, const Others &others)
{
    QJsonArray list;
    for (const DiskModelPtr &drive : drives) {
        QJsonObject object = offeredObject(*drive);
        object.insert(QStringLiteral("offered"), true);
        list.append(object);
    }
    for (const auto &other : others) {
        const bool mounted = other.reason == platform::RemovableDrives::Reason::MountedElsewhere;
        QJsonObject object{
            {QStringLiteral("name"), other.name()},
            {QStringLiteral("device"), other.device},
            {QStringLiteral("capacity"), static_cast<qint64>(other.capacity)},
            {QStringLiteral("mounted"), mounted ? QJsonValue(mountPathText(other.mountPoint)) : QJsonValue()},
            {QStringLiteral("offered"), false},
            {QStringLiteral("reason"),
             mounted ? QStringLiteral("mounted-elsewhere") : QStringLiteral("not-mounted")},
            {QStringLiteral("message"), reason(other)},
        };
        if (!other.vendor.isEmpty())
            object.insert(QStringLiteral("vendor"), other.vendor);
        if (!other.model.isEmpty())
            object.insert(QStringLiteral("model"), other.model);
        if (const QString unknown = labelUnknown(other); !unknown.isEmpty())
            object.insert(QStringLiteral("label-unknown"), unknown);
        list.append(object);
    }
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

QString DriveList::table(const std::vector<DiskModelPtr> &drives, bool colour)
{
    if (drives.empty())
        return QStringLiteral("No drive is mounted under /Volumes.\n"
                              "Removable drives mounted elsewhere or not at all: bootdrive list --all\n");
    QList<QStringList> rows = {{QStringLiteral("NAME"), QStringLiteral("MOUNT PATH"),
                                QStringLiteral("DEVICE"), QStringLiteral("CAPACITY"), QStringLiteral("MODEL"),
                                QStringLiteral("MADE AS")}};
    for (const DiskModelPtr &drive : drives)
        rows.append({TerminalText::printable(drive->name()) +
                         (drive->isIncompleteInstaller() ? QStringLiteral(" (incomplete)") : QString()),
                     TerminalText::printable(mountPathText(drive->volumePath())),
                     drive->deviceNode().isEmpty() ? QStringLiteral("-") : drive->deviceNode(),
                     capacityText(drive->capacity()), product(drive->vendor(), drive->model()),
                     madeText(*drive)});
    return columns(rows, colour);
}

QString DriveList::table(const std::vector<DiskModelPtr> &drives, const Others &others,
                         const QString &mountCommand, bool colour)
{
    QString text =
        drives.empty() ? QStringLiteral("No drive is mounted under /Volumes.\n") : table(drives, colour);
    if (others.empty())
        return text + QStringLiteral("\nNo other removable drive is attached.\n");
    text += QStringLiteral("\nNot offered (mount one below /Volumes to use it):\n");
    QList<QStringList> rows = {{QStringLiteral("NAME"), QStringLiteral("DEVICE"), QStringLiteral("CAPACITY"),
                                QStringLiteral("MODEL"), QStringLiteral("WHY")}};
    for (const auto &other : others)
        rows.append(
            {other.name().isEmpty() ? QStringLiteral("-") : TerminalText::printable(other.name()),
             other.device, capacityText(other.capacity), product(other.vendor, other.model),
             TerminalText::printable(labelUnknown(other).isEmpty()
                                         ? reason(other)
                                         : reason(other) + QStringLiteral("; ") + labelUnknown(other))});
    return text + columns(rows, colour) + QStringLiteral("To mount one: %1 DEVICE\n").arg(mountCommand);
}

QString DriveList::reason(const platform::RemovableDrives::Drive &drive)
{
    if (drive.reason == platform::RemovableDrives::Reason::NotMounted)
        return QStringLiteral("not mounted");
    const QString path = mountPathText(drive.mountPoint);
    return drive.mountPoint.startsWith("/Volumes/")
               ? QStringLiteral("mounted at %1, a hidden mount point").arg(path)
               : QStringLiteral("mounted at %1, outside /Volumes").arg(path);
}

QString DriveList::labelUnknown(const platform::RemovableDrives::Drive &drive)
{
    using State = platform::BlockDevice::Contents::State;
    if (drive.contents.state == State::NotPermitted)
        return QStringLiteral("label unknown: not allowed to read %1").arg(drive.device);
    if (drive.contents.state == State::Unreadable)
        return QStringLiteral("label unknown: %1 could not be read (%2)")
            .arg(drive.device, drive.contents.failure);
    return {};
}

QString DriveList::mountCommand()
{
    const QString diskutil = platform::InstallLayout::current().toolDirectory() + QStringLiteral("/diskutil");
    return (diskutil.contains(QLatin1Char(' ')) ? QLatin1Char('"') + diskutil + QLatin1Char('"') : diskutil) +
           QStringLiteral(" mount");
}

std::optional<platform::RemovableDrives::Drive> DriveList::mountedElsewhere(const Others &others,
                                                                            const QByteArray &argument)
{
    const QByteArray path = mountPathFromArgument(argument);
    for (const auto &other : others)
        if (!path.isEmpty() && other.reason == platform::RemovableDrives::Reason::MountedElsewhere &&
            other.mountPoint == path)
            return other;
    return std::nullopt;
}

QString DriveList::mountPathText(const QByteArray &path)
{
    const QString text = QFile::decodeName(path);
    if (QFile::encodeName(text) == path)
        return text;
    return QStringLiteral("file://") + QString::fromLatin1(path.toPercentEncoding("/"));
}

QByteArray DriveList::mountPathFromArgument(const QByteArray &argument)
{
    QByteArray path = argument;
    if (path.startsWith("file://")) {
        path = QByteArray::fromPercentEncoding(path.mid(7));
        if (!path.startsWith('/'))
            return {};
    }
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

DiskModelPtr DriveList::find(const std::vector<DiskModelPtr> &drives, const QByteArray &argument)
{
    const QByteArray path = mountPathFromArgument(argument);
    if (path.isEmpty())
        return nullptr;
    const auto found = std::find_if(drives.begin(), drives.end(),
                                    [&](const DiskModelPtr &drive) { return drive->volumePath() == path; });
    return found == drives.end() ? nullptr : *found;
}
