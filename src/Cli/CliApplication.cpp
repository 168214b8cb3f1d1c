#include "Cli/CliApplication.h"

#include "Cli/CommandLine.h"
#include "Cli/CreateCommand.h"
#include "Cli/DriveList.h"
#include "Cli/ProgressOutput.h"
#include "Cli/TerminalText.h"
#include "Cli/VerifyCommand.h"
#include "Platform/Runtime/BundleInfo.h"
#include "Platform/Runtime/InstallLayout.h"
#include "Platform/Runtime/StopSignals.h"
#include "Platform/Runtime/Terminal.h"
#include "Platform/Volumes/RemovableDrives.h"

#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Runs a command that goes on in the event loop, with the stop signals handed to it, to its exit status.
template <class Command>
int runUntilEnded(const std::function<std::shared_ptr<Command>(platform::StopSignals &)> &make)
{
    std::shared_ptr<Command> command;
    platform::StopSignals stopSignals([&command](int signal) {
        if (command)
            command->stop(signal);
    });
    command = make(stopSignals);
    command->start();
    if (command->hasEnded())
        return command->status();
    const int status = QCoreApplication::exec();
    return command->hasEnded() ? command->status() : status;
}

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

std::optional<int> CliApplication::run(int argc, char *argv[])
{
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.command) {
    case CommandLine::Command::Window:
        // Without a display the toolkit would abort with a message about plug-ins; say what is wrong and
        // what works instead.
        if (!line.platformNamed && !hasDisplay()) {
            print(stderr,
                  QStringLiteral("bootdrive: there is no display to open the window on (neither DISPLAY nor "
                                 "WAYLAND_DISPLAY is set).\n"
                                 "These commands work without one:\n"
                                 "  bootdrive list [--all] [--json]\n"
                                 "  bootdrive create --installer PATH --volume /Volumes/NAME\n"
                                 "  bootdrive verify /Volumes/NAME\n"
                                 "Try \"bootdrive --help\".\n"));
            return CommandLine::NoDisplay;
        }
        return std::nullopt;
    case CommandLine::Command::Invalid:
        print(stderr, QStringLiteral("bootdrive: %1\nTry \"bootdrive --help\".\n").arg(line.error));
        return CommandLine::Usage;
    case CommandLine::Command::Help:
        print(stdout, CommandLine::usage());
        return CommandLine::Done;
    case CommandLine::Command::Version:
        print(stdout, QStringLiteral("BootDrive %1 (build %2)\nTools: %3\n")
                          .arg(platform::BundleInfo::shortVersion(),
                               platform::BundleInfo::string(QStringLiteral("CFBundleVersion")),
                               platform::InstallLayout::current().toolDirectory()));
        return CommandLine::Done;
    case CommandLine::Command::List:
    case CommandLine::Command::Create:
    case CommandLine::Command::Verify:
        break;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(platform::BundleInfo::executable());
    QCoreApplication::setApplicationVersion(platform::BundleInfo::shortVersion());
    platform::InstallLayout::current().putToolsFirstOnPath();

    if (line.command == CommandLine::Command::List) {
        const auto drives = DriveList::current();
        const bool colour = !line.json && TerminalText::wantsColour(stdout);
        if (!line.all) {
            print(stdout, line.json ? QString::fromUtf8(DriveList::json(drives) + '\n')
                                    : DriveList::table(drives, colour));
            return CommandLine::Done;
        }
        const auto others = platform::RemovableDrives::list();
        print(stdout, line.json ? QString::fromUtf8(DriveList::json(drives, others) + '\n')
                                : DriveList::table(drives, others, DriveList::mountCommand(), colour));
        return CommandLine::Done;
    }

    const bool terminal = !line.json && platform::Terminal::isTerminal(stdout);
    ProgressOutput output(terminal ? ProgressOutput::Style::Terminal : ProgressOutput::Style::JsonLines);
    if (line.command == CommandLine::Command::Verify)
        return runUntilEnded<VerifyCommand>(
            [&](platform::StopSignals &) { return std::make_shared<VerifyCommand>(line, output); });
    return runUntilEnded<CreateCommand>([&](platform::StopSignals &stopSignals) {
        return std::make_shared<CreateCommand>(line, output, stopSignals);
    });
}
