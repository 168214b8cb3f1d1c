#include "Cli/DriveList.h"

#include "Creation/BaseModel.h"
#include "Creation/DiskutilViewModel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

// A volume's name is the user's: control characters in it must not drive the terminal.
QString printable(QString text)
{
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    return text;
}

} // namespace

std::vector<DiskModelPtr> DriveList::current()
{
    auto job = DiskutilViewModel::create();
    std::vector<DiskModelPtr> drives;
    auto receiver = std::make_shared<DiskutilViewModelDelegate>();
    receiver->diskutilViewModelCompletion = [&drives](DiskutilViewModel &, const DiskutilResult &result) {
        if (result.kind == DiskutilResult::Kind::Drives)
            drives = result.drives;
    };
    job->setDelegate(receiver);
    // The list arrives before the call returns.
    job->diskutilList();
    return drives;
}

QByteArray DriveList::json(const std::vector<DiskModelPtr> &drives)
{
    QJsonArray list;
    for (const DiskModelPtr &drive : drives)
        list.append(QJsonObject{
            {QStringLiteral("name"), drive->name()},
            {QStringLiteral("volume"), mountPathText(drive->volumePath())},
            {QStringLiteral("device"), drive->deviceNode()},
            {QStringLiteral("capacity"), static_cast<qint64>(drive->capacity())},
            {QStringLiteral("incomplete"), drive->isIncompleteInstaller()},
        });
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

QString DriveList::table(const std::vector<DiskModelPtr> &drives)
{
    if (drives.empty())
        return QStringLiteral("No drive is mounted under /Volumes.\n");
    QList<QStringList> rows = {{QStringLiteral("NAME"), QStringLiteral("MOUNT PATH"),
                                QStringLiteral("DEVICE"), QStringLiteral("CAPACITY")}};
    for (const DiskModelPtr &drive : drives)
        rows.append({printable(drive->name()) +
                         (drive->isIncompleteInstaller() ? QStringLiteral(" (incomplete)") : QString()),
                     printable(mountPathText(drive->volumePath())),
                     drive->deviceNode().isEmpty() ? QStringLiteral("-") : drive->deviceNode(),
                     drive->capacity() ? BaseModel::fileSizeString(static_cast<int64_t>(drive->capacity()))
                                       : QStringLiteral("-")});
    QList<qsizetype> widths(4, 0);
    for (const QStringList &row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    QString text;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        text += line + QLatin1Char('\n');
    }
    return text;
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
