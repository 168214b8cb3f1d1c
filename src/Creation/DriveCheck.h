#pragma once

#include "Platform/Volumes/DriveRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>

// Reads a finished drive back, later and on its own: against the record the drive keeps of itself, or
// against the installer it was made from, as a run's verification compares them. The reading runs on a
// worker; how far it got is reported a few times a second, and the end once, on the thread that started it.
// Nothing on the drive is changed. The window and the command line present it.
class DriveCheck : public QObject
{
    Q_OBJECT

public:
    // What a drive's record says of how it was made; its texts come from the drive.
    struct Made
    {
        QString installer;
        QString version;
        QString made; // as recorded: UTC, "2026-12-08T09:30:00Z"
    };
    struct Difference
    {
        QString path; // relative to the drive's top
        QString reason;
    };
    struct Result
    {
        enum class Outcome
        {
            Intact,
            Damaged, // `changed` names what is missing or differs
            Refused, // `refusal` says why
            Cancelled,
        };
        enum class Refusal
        {
            None,
            DriveGone,  // the volume is no longer that drive's mount
            NoRecord,   // `record` says what is wrong with the drive's record
            Unreadable, // `path` could not be read: `reason`
        };
        Outcome outcome = Outcome::Refused;
        Refusal refusal = Refusal::None;
        platform::DriveRecord::Refusal record = platform::DriveRecord::Refusal::None;
        std::optional<Made> made; // against a record: what it says
        QList<Difference> changed;
        QStringList added; // in recorded folders, on the drive only: they leave the installer whole
        QString path;
        QString reason;
    };

    explicit DriveCheck(QObject *parent = nullptr);
    ~DriveCheck() override;

    // Reads the drive mounted at `volume` (the device `device`) against its record.
    void start(const QByteArray &volume, dev_t device);
    // Compares the drive's copy of the installer, `<volume>/<the bundle's folder name>`, with the installer
    // at the path `installer` (bytes, as the file system has them).
    void startAgainstInstaller(const QByteArray &volume, dev_t device, const QByteArray &installer);
    // The reading stops; the end, Cancelled, follows.
    void cancel();
    bool isRunning() const { return m_running; }

    // What the record of the drive mounted at `volume` says, when it has one that reads whole. The record
    // is read as the volume's icon is: only a regular file, no link followed, within its bound.
    static std::optional<Made> madeOf(const QByteArray &volume, dev_t device);
    // The recorded time in local time, "2026-12-08 10:30"; a text that is no time is shown as it is, bounded.
    static QString localTime(const QString &recorded);
    // How many changed or added items are named; the rest are counted.
    static constexpr qsizetype Named = 20;

signals:
    // File data read so far, of all there is to read.
    void progressed(qint64 bytesDone, qint64 bytesTotal);
    void finished(const DriveCheck::Result &result);

private:
    struct Shared;

    void run(std::function<Result(Shared &)> work);

    std::shared_ptr<Shared> m_shared;
    QTimer m_poll;
    bool m_running = false;
    qint64 m_reported = -1;
};
