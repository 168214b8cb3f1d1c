#include "Cli/CommandLine.h"

#include <QHash>

namespace {

// The toolkit's own options, which it takes out of the arguments itself: whether each takes a value.
const QHash<QString, bool> &toolkitOptions()
{
    static const QHash<QString, bool> options = {
        {QStringLiteral("platform"), true},        {QStringLiteral("platformpluginpath"), true},
        {QStringLiteral("platformtheme"), true},   {QStringLiteral("plugin"), true},
        {QStringLiteral("qwindowgeometry"), true}, {QStringLiteral("qwindowicon"), true},
        {QStringLiteral("qwindowtitle"), true},    {QStringLiteral("session"), true},
        {QStringLiteral("display"), true},         {QStringLiteral("geometry"), true},
        {QStringLiteral("style"), true},           {QStringLiteral("stylesheet"), true},
        {QStringLiteral("title"), true},           {QStringLiteral("name"), true},
        {QStringLiteral("visual"), true},          {QStringLiteral("qmljsdebugger"), true},
        {QStringLiteral("reverse"), false},        {QStringLiteral("widgetcount"), false},
        {QStringLiteral("nograb"), false},         {QStringLiteral("dograb"), false},
        {QStringLiteral("sync"), false},
    };
    return options;
}

// Whether every argument belongs to the toolkit, which accepts one dash or two and "-option=value".
bool onlyToolkitOptions(const QByteArrayList &arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString option = QString::fromLocal8Bit(arguments[i]);
        if (!option.startsWith(QLatin1Char('-')))
            return false;
        option.remove(0, option.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        const bool inlineValue = equals >= 0;
        if (inlineValue)
            option.truncate(equals);
        const auto known = toolkitOptions().constFind(option);
        if (known == toolkitOptions().constEnd() || (inlineValue && !*known))
            return false;
        if (*known && !inlineValue && ++i >= arguments.size())
            return false;
    }
    return true;
}

CommandLine invalid(const QString &error)
{
    CommandLine line;
    line.command = CommandLine::Command::Invalid;
    line.error = error;
    return line;
}

bool isHelp(const QByteArray &argument)
{
    return argument == "--help" || argument == "-h" || argument == "help";
}

QString shown(const QByteArray &argument)
{
    return QString::fromLocal8Bit(argument);
}

} // namespace

CommandLine CommandLine::parse(const QByteArrayList &arguments)
{
    CommandLine line;
    if (arguments.isEmpty() || onlyToolkitOptions(arguments)) {
        for (const QByteArray &argument : arguments)
            if (argument == "-platform" || argument == "--platform" || argument.startsWith("-platform=") ||
                argument.startsWith("--platform="))
                line.platformNamed = true;
        return line;
    }
    const QByteArray &first = arguments.first();
    if (isHelp(first)) {
        line.command = Command::Help;
        return line;
    }
    if (first == "--version" || first == "-v" || first == "version") {
        line.command = Command::Version;
        return arguments.size() == 1 ? line : invalid(QStringLiteral("--version takes no arguments"));
    }
    if (first == "list")
        line.command = Command::List;
    else if (first == "create")
        line.command = Command::Create;
    else if (first == "verify")
        line.command = Command::Verify;
    else
        return invalid(QStringLiteral("unknown command or option \"%1\"").arg(shown(first)));

    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QByteArray option = arguments[i];
        QByteArray value;
        bool hasValue = false;
        if (option.startsWith("--") && option.contains('=')) {
            value = option.mid(option.indexOf('=') + 1);
            option.truncate(option.indexOf('='));
            hasValue = true;
        }
        if (isHelp(option) && !hasValue) {
            line.command = Command::Help;
            return line;
        }
        const bool create = line.command == Command::Create;
        const bool verify = line.command == Command::Verify;
        if (option == "--json" && !hasValue) {
            line.json = true;
        } else if (line.command == Command::List && (option == "--all" || option == "-a") && !hasValue) {
            line.all = true;
        } else if (create && (option == "--yes" || option == "-y") && !hasValue) {
            line.yes = true;
        } else if (create && option == "--no-verify" && !hasValue) {
            line.verify = false;
        } else if (verify && !option.startsWith('-')) {
            // The volume to check is the one word without a dash.
            if (!line.volume.isEmpty())
                return invalid(
                    QStringLiteral("verify checks one volume; \"%1\" is a second").arg(shown(option)));
            line.volume = option;
        } else if ((create && (option == "--installer" || option == "--volume")) ||
                   (verify && option == "--installer")) {
            if (!hasValue) {
                if (i + 1 >= arguments.size())
                    return invalid(QStringLiteral("%1 needs a path").arg(shown(option)));
                value = arguments[++i];
            }
            QByteArray &target = option == "--installer" ? line.installer : line.volume;
            if (value.isEmpty())
                return invalid(QStringLiteral("%1 needs a path").arg(shown(option)));
            if (!target.isEmpty())
                return invalid(QStringLiteral("%1 is given twice").arg(shown(option)));
            target = value;
        } else {
            return invalid(QStringLiteral("%1 does not take \"%2\"").arg(shown(first), shown(arguments[i])));
        }
    }
    if (line.command == Command::Create && (line.installer.isEmpty() || line.volume.isEmpty()))
        return invalid(QStringLiteral("create needs --installer and --volume"));
    if (line.command == Command::Verify && line.volume.isEmpty())
        return invalid(QStringLiteral("verify needs the volume to check, such as /Volumes/USB"));
    return line;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        R"(Usage: bootdrive [Qt options]
       bootdrive list [--all] [--json]
       bootdrive create --installer PATH --volume /Volumes/NAME [--yes] [--no-verify] [--json]
       bootdrive verify /Volumes/NAME [--installer PATH] [--json]
       bootdrive --help | --version

Turns a drive into a bootable macOS installer. Without a command the window opens.

Commands:
  list      The drives that can be used (those mounted below /Volumes): name, mount path,
            device, capacity, maker and model, and for a drive BootDrive made, the
            installer and when (from the drive's record).
            --all    also the removable drives that are not offered (mounted elsewhere, such
                     as below /media, or not mounted), each with why; the disk utility's
                     "mount DEVICE" brings one below /Volumes
            --json   one JSON array of {"name", "volume", "device", "capacity", "incomplete"},
                     with "vendor" and "model" where known, and "record" ({"installer",
                     "version", "made"}) for a drive with a record; "volume" is what
                     --volume takes back: the mount path, or a file:// URL with %XX escapes
                     when the path is not valid UTF-8. With --all every object has
                     "offered"; those not offered have "mounted" (a path or null), "reason"
                     ("mounted-elsewhere" or "not-mounted") and "message" instead of
                     "volume" and "incomplete", and "label-unknown" says why where the
                     device could not be read
  create    Erases the volume and puts the installer on it, then reads the drive back and
            compares it with the installer.
            --installer PATH   the installer application ("Install macOS Mojave.app")
            --volume PATH      the drive's mount path, as "bootdrive list" shows it (a
                               file:// URL names a path that is not valid UTF-8 exactly)
            --yes, -y          do not ask for the volume's name before erasing it
            --no-verify        skip the comparison after the copy
            --json             one JSON object per line: phase, fraction, bytes, message
                               (also when the output is not a terminal)
  verify    Reads a finished drive back and compares it with the record it keeps of
            itself: every file, folder and link of the installer as the drive was made.
            Names every item that is missing or changed (the first 20, then how many
            more) and lists items added since, which leave the installer whole. The drive
            is only read. Takes the mount path as "bootdrive list" shows it.
            --installer PATH   compare the drive's copy of the installer with this
                               installer instead; no record is needed
            --json             one JSON object per line; the last one's phase is
                               "intact", "damaged", "refused" or "cancelled", with
                               "installer", "version", "made", "changed" and "added"

Ctrl-C (SIGINT), Ctrl-\ (SIGQUIT), SIGTERM or SIGHUP (the terminal closing) cancel a
running creation as the window's cancel does, and stop a check; bootdrive stops the
programs it started itself, which ignore the terminal's keys. Ctrl-Z does not pause a
running creation.

Without a display (neither DISPLAY nor WAYLAND_DISPLAY set, no -platform option or
QT_QPA_PLATFORM) the window cannot open; list, create and verify work without one.

On a terminal the progress is in colour unless NO_COLOR is set.

The commands send nothing over the network. At every start the window asks BootDrive's
catalog service for the catalog and for an update notice; both requests carry this
computer's host name, IP address and MAC address, and BootDrive's identifier and version.

Exit status: 0 done, 1 failed, 2 refused before anything was erased, 3 cancelled,
64 wrong arguments, 69 no display for the window. verify: 0 intact, 1 damaged,
2 refused (no usable record, not a drive below /Volumes, an item that cannot be
read), 3 stopped.
)");
}
