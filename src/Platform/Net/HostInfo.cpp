#include "Platform/Net/HostInfo.h"

#include <QFile>
#include <climits>
#include <unistd.h>

namespace platform {

namespace {

// Undoes the quoting of a shell-style value: "double quoted" with backslash escapes, 'single quoted', or
// bare with backslash escapes.
QString unquote(const QByteArray &raw)
{
    QByteArray out;
    char quote = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                out += c;
        } else if (c == '\\' && i + 1 < raw.size()) {
            out += raw.at(++i);
        } else if (quote == '"') {
            if (c == '"')
                quote = 0;
            else
                out += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else {
            out += c;
        }
    }
    return QString::fromUtf8(out);
}

} // namespace

QString HostInfo::prettyHostNameFromMachineInfo(const QByteArray &contents)
{
    QString found;
    for (const QByteArray &line : contents.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.startsWith("PRETTY_HOSTNAME="))
            continue;
        // A later assignment overrides an earlier one, as when the file is sourced.
        found = unquote(trimmed.mid(static_cast<qsizetype>(sizeof("PRETTY_HOSTNAME=") - 1)));
    }
    return found.isEmpty() ? QString() : found;
}

QString HostInfo::localizedName()
{
    QFile machineInfo(QStringLiteral("/etc/machine-info"));
    if (machineInfo.open(QIODevice::ReadOnly)) {
        const QString pretty = prettyHostNameFromMachineInfo(machineInfo.readAll());
        if (!pretty.isNull())
            return pretty;
    }
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof(name) - 1) == 0 && name[0] != '\0')
        return QString::fromUtf8(name);
    return {};
}

} // namespace platform
