#include "Cli/VerifyCommand.h"

#include "Cli/DriveList.h"
#include "Cli/TerminalText.h"
#include "Common/ForeignText.h"
#include "Platform/Runtime/StopSignals.h"
#include "Platform/Volumes/RemovableDrives.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <sys/stat.h>

namespace {

using Outcome = DriveCheck::Result::Outcome;

// Text from the drive or its record, as the terminal may show it.
QString shown(const QString &foreign)
{
    return TerminalText::printable(ForeignText::bounded(foreign));
}

// One item a line, indented: the first of them, then how many more there are.
QString itemLines(const QStringList &items)
{
    QString text;
    for (qsizetype i = 0; i < std::min(items.size(), DriveCheck::Named); ++i)
        text += QStringLiteral("\n  ") + items[i];
    if (items.size() > DriveCheck::Named)
        text += QStringLiteral("\n  and %1 more").arg(items.size() - DriveCheck::Named);
    return text;
}

} // namespace

VerifyCommand::VerifyCommand(const CommandLine &line, ProgressOutput &output) : m_line(line), m_output(output)
{
    m_ticker.setInterval(250);
    QObject::connect(&m_ticker, &QTimer::timeout, &m_ticker, [this] { m_output.tick(); });
    QObject::connect(&m_check, &DriveCheck::progressed, &m_check, [this](qint64 done, qint64 total) {
        if (total > 0) {
            m_output.setTotalBytes(total);
            m_output.progress(static_cast<double>(done) / static_cast<double>(total));
        }
    });
    QObject::connect(&m_check, &DriveCheck::finished, &m_check,
                     [this](const DriveCheck::Result &result) { finished(result); });
}

QString VerifyCommand::volumeProblem() const
{
    const QString given = TerminalText::printable(QString::fromLocal8Bit(m_line.volume));
    // A stick a desktop mounted is the likeliest to be named: say how to bring it where BootDrive looks.
    if (const auto elsewhere = DriveList::mountedElsewhere(platform::RemovableDrives::list(), m_line.volume))
        return QStringLiteral("%1 (%2) is %3; BootDrive checks drives mounted below /Volumes: \"%4 %2\" "
                              "mounts it there")
            .arg(given, elsewhere->device, TerminalText::printable(DriveList::reason(*elsewhere)),
                 DriveList::mountCommand());
    return QStringLiteral(
               "%1 is not a drive mounted below /Volumes; give its mount path as \"bootdrive list\" "
               "shows it")
        .arg(given);
}

void VerifyCommand::start()
{
    m_drive = DriveList::find(DriveList::current(), m_line.volume);
    if (!m_drive)
        return end({CommandLine::Refused, QStringLiteral("refused"), volumeProblem(), {}});
    const QString drive = TerminalText::printable(DriveList::mountPathText(m_drive->volumePath()));
    if (m_line.installer.isEmpty()) {
        m_output.measuredPhase(QStringLiteral("verifying"),
                               QStringLiteral("Reading %1 back and comparing it with its record").arg(drive));
        m_check.start(m_drive->volumePath(), m_drive->deviceNumber());
    } else {
        const QString installer = TerminalText::printable(DriveList::mountPathText(m_line.installer));
        struct stat info
        {};
        if (::stat(m_line.installer.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
            return end({CommandLine::Refused,
                        QStringLiteral("refused"),
                        QStringLiteral("there is no installer application at %1").arg(installer),
                        {}});
        m_output.measuredPhase(
            QStringLiteral("verifying"),
            QStringLiteral("Reading %1 back and comparing it with %2").arg(drive, installer));
        m_check.startAgainstInstaller(m_drive->volumePath(), m_drive->deviceNumber(), m_line.installer);
    }
    if (m_output.style() == ProgressOutput::Style::Terminal)
        m_ticker.start();
}

void VerifyCommand::stop(int signal)
{
    if (m_ended)
        return;
    if (m_stopRequested) {
        m_output.note(QStringLiteral("Still stopping (%1 again)").arg(platform::StopSignals::name(signal)));
        return;
    }
    m_stopRequested = true;
    m_output.phase(QStringLiteral("cancelling"), QStringLiteral("Stopping the check"));
    m_check.cancel();
}

void VerifyCommand::finished(const DriveCheck::Result &result)
{
    DriveCheck::Result ended = result;
    // A stop that arrived while the end was on its way still stops the check.
    if (m_stopRequested || platform::StopSignals::count() > 0)
        ended.outcome = Outcome::Cancelled;
    end(report(ended, TerminalText::printable(DriveList::mountPathText(m_drive->volumePath())),
               m_line.installer.isEmpty()
                   ? QString()
                   : TerminalText::printable(DriveList::mountPathText(m_line.installer))));
}

VerifyCommand::Report VerifyCommand::report(const DriveCheck::Result &result, const QString &drive,
                                            const QString &installer)
{
    using Refusal = DriveCheck::Result::Refusal;
    Report report;
    QString made;
    if (result.made) {
        report.details.insert(QStringLiteral("installer"), ForeignText::bounded(result.made->installer));
        report.details.insert(QStringLiteral("version"), ForeignText::bounded(result.made->version));
        report.details.insert(QStringLiteral("made"), ForeignText::bounded(result.made->made));
        made = QStringLiteral("%1 %2, made %3")
                   .arg(shown(result.made->installer), shown(result.made->version),
                        shown(DriveCheck::localTime(result.made->made)));
    }
    QStringList changed, added;
    QJsonArray changedJson, addedJson;
    for (const DriveCheck::Difference &difference : result.changed) {
        changed << shown(difference.path) + QStringLiteral(": ") + shown(difference.reason);
        if (changedJson.size() < DriveCheck::Named)
            changedJson.append(QJsonObject{{QStringLiteral("path"), ForeignText::bounded(difference.path)},
                                           {QStringLiteral("reason"), difference.reason}});
    }
    for (const QString &path : result.added) {
        added << shown(path);
        if (addedJson.size() < DriveCheck::Named)
            addedJson.append(ForeignText::bounded(path));
    }
    const QString addedText =
        added.isEmpty() ? QString()
                        : QStringLiteral("\nAdded since it was made (%1; they leave the installer whole):%2")
                              .arg(added.size())
                              .arg(itemLines(added));

    switch (result.outcome) {
    case Outcome::Intact:
    case Outcome::Damaged: {
        const bool intact = result.outcome == Outcome::Intact;
        report.status = intact ? CommandLine::Done : CommandLine::Failed;
        report.outcome = intact ? QStringLiteral("intact") : QStringLiteral("damaged");
        report.details.insert(QStringLiteral("changed"), changedJson);
        report.details.insert(QStringLiteral("changed-count"), changed.size());
        report.details.insert(QStringLiteral("added"), addedJson);
        report.details.insert(QStringLiteral("added-count"), added.size());
        if (!installer.isEmpty())
            report.message =
                intact ? QStringLiteral("%1 holds the installer as it is at %2").arg(drive, installer)
                       : QStringLiteral("%1 differs from the installer at %2:%3")
                             .arg(drive, installer, itemLines(changed));
        else
            report.message = intact ? QStringLiteral("%1 is intact: %2").arg(drive, made)
                                    : QStringLiteral("%1 has changed since it was made (%2). Missing or "
                                                     "different (%3):%4")
                                          .arg(drive, made)
                                          .arg(changed.size())
                                          .arg(itemLines(changed));
        report.message += addedText;
        return report;
    }
    case Outcome::Cancelled:
        return {CommandLine::Cancelled, QStringLiteral("cancelled"),
                QStringLiteral("Stopped; the drive was only read"), report.details};
    case Outcome::Refused:
        break;
    }
    report.outcome = QStringLiteral("refused");
    switch (result.refusal) {
    case Refusal::DriveGone:
        report.message =
            QStringLiteral("%1 is no longer mounted where it was listed; nothing was read").arg(drive);
        break;
    case Refusal::NoRecord:
        report.message =
            QString::fromStdString(platform::DriveRecord::describe(result.record)) +
            QStringLiteral(", so it cannot be checked by itself; \"--installer PATH\" compares it with its "
                           "installer instead");
        break;
    case Refusal::Unreadable:
    case Refusal::None:
        report.message = (installer.isEmpty() ? QStringLiteral("%1 on the drive cannot be read: %2")
                                              : QStringLiteral("%1 cannot be read: %2"))
                             .arg(shown(result.path), shown(result.reason));
        break;
    }
    return report;
}

void VerifyCommand::end(const Report &report)
{
    if (m_ended)
        return;
    m_ended = true;
    m_status = report.status;
    m_ticker.stop();
    m_output.finish(report.outcome, report.message, report.details);
    QCoreApplication::exit(report.status);
}
