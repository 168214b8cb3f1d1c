#include "Creation/DriveCheck.h"

#include "Common/ForeignText.h"
#include "Platform/Posix/FileDescriptor.h"
#include "Platform/Volumes/TreeVerifier.h"

#include <QFile>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>

using platform::DriveRecord;
using platform::TreeVerifier;
using Outcome = DriveCheck::Result::Outcome;
using Refusal = DriveCheck::Result::Refusal;

// What the worker and the thread that started it share; it outlives whichever lets go first.
struct DriveCheck::Shared
{
    std::atomic<bool> cancel{false};
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> total{0};

    TreeVerifier::Progress progress()
    {
        return [this](uint64_t bytesDone, uint64_t bytesTotal) {
            total = bytesTotal;
            done = bytesDone;
        };
    }
};

namespace {

QString text(const std::string &bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// The volume's top, while it is still the mount of the drive's device.
posix::FileDescriptor openTop(const QByteArray &volume, dev_t device)
{
    posix::FileDescriptor top(::open(volume.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info
    {};
    if (!top || ::fstat(top.get(), &info) != 0 || (device != 0 && info.st_dev != device))
        return {};
    return top;
}

DriveCheck::Result refused(Refusal refusal)
{
    DriveCheck::Result result;
    result.refusal = refusal;
    return result;
}

DriveCheck::Result againstRecord(const QByteArray &volume, dev_t device, const std::atomic<bool> &cancel,
                                 const TreeVerifier::Progress &progress)
{
    const posix::FileDescriptor top = openTop(volume, device);
    if (!top)
        return refused(Refusal::DriveGone);
    const DriveRecord::Read read = DriveRecord::readFrom(top.get());
    if (!read.record) {
        DriveCheck::Result result = refused(Refusal::NoRecord);
        result.record = read.refusal;
        return result;
    }
    DriveCheck::Result result;
    result.made = DriveCheck::Made{text(read.record->installerName), text(read.record->installerVersion),
                                   text(read.record->made)};
    const TreeVerifier::Check check =
        TreeVerifier::check(volume.toStdString(), *read.record, device, cancel, progress);
    switch (check.outcome) {
    case TreeVerifier::Check::Outcome::Intact:
    case TreeVerifier::Check::Outcome::Damaged:
        result.outcome =
            check.outcome == TreeVerifier::Check::Outcome::Intact ? Outcome::Intact : Outcome::Damaged;
        for (const auto &difference : check.changed)
            result.changed.append({text(difference.path), text(difference.reason)});
        for (const std::string &path : check.added)
            result.added.append(text(path));
        break;
    case TreeVerifier::Check::Outcome::Refused:
        result.refusal = Refusal::Unreadable;
        result.path = text(check.path);
        result.reason = text(check.reason);
        break;
    case TreeVerifier::Check::Outcome::Cancelled:
        result.outcome = Outcome::Cancelled;
        break;
    }
    return result;
}

DriveCheck::Result againstInstaller(const QByteArray &volume, dev_t device, QByteArray installer,
                                    const std::atomic<bool> &cancel, const TreeVerifier::Progress &progress)
{
    if (!openTop(volume, device))
        return refused(Refusal::DriveGone);
    while (installer.size() > 1 && installer.endsWith('/'))
        installer.chop(1);
    const QByteArray name = installer.mid(installer.lastIndexOf('/') + 1);
    const TreeVerifier::Result compared = TreeVerifier::compare(
        installer.toStdString(), (volume + '/' + name).toStdString(), device, cancel, progress);
    // Named from the drive's top, as a record names them.
    const QString path =
        text(compared.path == "." ? name.toStdString() : name.toStdString() + '/' + compared.path);
    DriveCheck::Result result;
    switch (compared.outcome) {
    case TreeVerifier::Result::Outcome::Same:
        result.outcome = Outcome::Intact;
        break;
    case TreeVerifier::Result::Outcome::Different:
        result.outcome = Outcome::Damaged;
        result.changed.append({path, text(compared.reason)});
        break;
    case TreeVerifier::Result::Outcome::Unreadable:
        result.refusal = Refusal::Unreadable;
        result.path = path;
        result.reason = text(compared.reason);
        break;
    case TreeVerifier::Result::Outcome::Cancelled:
        result.outcome = Outcome::Cancelled;
        break;
    }
    return result;
}

} // namespace

DriveCheck::DriveCheck(QObject *parent) : QObject(parent)
{
    m_poll.setInterval(100);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        const auto done = static_cast<qint64>(m_shared->done.load());
        if (done != m_reported) {
            m_reported = done;
            emit progressed(done, static_cast<qint64>(m_shared->total.load()));
        }
    });
}

DriveCheck::~DriveCheck()
{
    // A worker still reading stops at its next piece; what it finds goes to nobody.
    if (m_shared)
        m_shared->cancel = true;
}

void DriveCheck::start(const QByteArray &volume, dev_t device)
{
    run([volume, device](Shared &shared) {
        return againstRecord(volume, device, shared.cancel, shared.progress());
    });
}

void DriveCheck::startAgainstInstaller(const QByteArray &volume, dev_t device, const QByteArray &installer)
{
    run([volume, device, installer](Shared &shared) {
        return againstInstaller(volume, device, installer, shared.cancel, shared.progress());
    });
}

void DriveCheck::run(std::function<Result(Shared &)> work)
{
    if (m_running)
        return;
    m_running = true;
    m_reported = -1;
    m_shared = std::make_shared<Shared>();
    std::shared_ptr<Shared> shared = m_shared;
    m_poll.start();
    QtConcurrent::run([shared, work = std::move(work)] {
        return work(*shared);
    }).then(this, [this, shared](const Result &result) {
        m_poll.stop();
        if (const auto done = static_cast<qint64>(shared->done.load()); done != m_reported && done > 0)
            emit progressed(done, static_cast<qint64>(shared->total.load()));
        m_running = false;
        emit finished(result);
    });
}

void DriveCheck::cancel()
{
    if (m_running)
        m_shared->cancel = true;
}

std::optional<DriveCheck::Made> DriveCheck::madeOf(const QByteArray &volume, dev_t device)
{
    const posix::FileDescriptor top = openTop(volume, device);
    if (!top)
        return std::nullopt;
    const DriveRecord::Read read = DriveRecord::readFrom(top.get());
    if (!read.record)
        return std::nullopt;
    return Made{text(read.record->installerName), text(read.record->installerVersion),
                text(read.record->made)};
}

QString DriveCheck::localTime(const QString &recorded)
{
    const QDateTime time = QDateTime::fromString(recorded, Qt::ISODate);
    if (!time.isValid() || time.timeSpec() != Qt::UTC)
        return ForeignText::bounded(recorded, 40);
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}
