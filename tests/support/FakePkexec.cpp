#include "support/FakePkexec.h"

#include <QFile>

namespace testsupport {

namespace {

QByteArray singleQuoted(const QString &text)
{
    QByteArray bytes = QFile::encodeName(text);
    bytes.replace('\'', "'\\''");
    return "'" + bytes + "'";
}

} // namespace

FakePkexec::FakePkexec(Mode mode) : m_mode(mode)
{
    if (!m_dir.isValid())
        return;
    // Callers may run as an unprivileged user: they must reach the script and append to the log.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                            QFile::ExeOther);
    QFile log(m_dir.filePath(QStringLiteral("calls.log")));
    if (!log.open(QIODevice::WriteOnly))
        return;
    log.close();
    log.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                       QFile::ReadOther | QFile::WriteOther);
    m_valid = writeScript();
}

FakePkexec::~FakePkexec()
{
    if (m_pathChanged)
        qputenv("PATH", m_savedPath);
}

void FakePkexec::setMode(Mode mode)
{
    m_mode = mode;
    m_valid = writeScript();
}

bool FakePkexec::writeScript()
{
    const QByteArray allow =
        "case \"${1:-}\" in\n"
        "/*) ;;\n"
        "*) echo \"pkexec: the program must be given by its absolute path\" >&2; exit 127 ;;\n"
        "esac\n"
        "uid=$(id -u)\n"
        "exec env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \\\n"
        "    USER=root LOGNAME=root PKEXEC_UID=\"$uid\" ${LANG:+LANG=\"$LANG\"} \"$@\"\n";
    const QByteArray deny = "echo \"Error executing command as another user: Not authorized\" >&2\n"
                            "echo >&2\necho \"This incident has been reported.\" >&2\nexit 127\n";
    QByteArray answer;
    switch (m_mode) {
    case Mode::Allow:
        answer = allow;
        break;
    case Mode::AskOnTerminal:
        answer = "printf 'Password: ' > /dev/tty\n"
                 "IFS= read -r password < /dev/tty || exit 126\n"
                 "if [ \"$password\" != secret ]; then\n" +
                 deny + "fi\n" + allow;
        break;
    case Mode::Dismiss:
        answer = "echo \"Error executing command as another user: Request dismissed\" >&2\nexit 126\n";
        break;
    case Mode::Deny:
        answer = deny;
        break;
    }
    QFile script(program());
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    script.write("#!/bin/bash\n# pkexec stand-in for tests: logs the call, then answers as configured.\n");
    script.write("printf '%s\\0' CALL \"$(id -u)\" \"$#\" \"$@\" >> " +
                 singleQuoted(m_dir.filePath(QStringLiteral("calls.log"))) + "\n");
    script.write(answer);
    script.close();
    return script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                 QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}

QString FakePkexec::pathWithFakeFirst() const
{
    const QString path = qEnvironmentVariable("PATH");
    return path.isEmpty() ? directory() : directory() + QLatin1Char(':') + path;
}

void FakePkexec::putFirstOnPath()
{
    if (!m_pathChanged) {
        m_savedPath = qgetenv("PATH");
        m_pathChanged = true;
    }
    const QString saved = QFile::decodeName(m_savedPath);
    qputenv("PATH",
            QFile::encodeName(saved.isEmpty() ? directory() : directory() + QLatin1Char(':') + saved));
}

QList<FakePkexec::Call> FakePkexec::calls() const
{
    QList<Call> result;
    QFile log(m_dir.filePath(QStringLiteral("calls.log")));
    if (!log.open(QIODevice::ReadOnly))
        return result;
    const QList<QByteArray> fields = log.readAll().split('\0');
    // Records: CALL, uid, argument count, the arguments; each field ends with a NUL.
    for (qsizetype i = 0; i + 2 < fields.size();) {
        if (fields[i] != "CALL") {
            ++i;
            continue;
        }
        Call call;
        call.uid = fields[i + 1].toUInt();
        const int count = fields[i + 2].toInt();
        i += 3;
        for (int k = 0; k < count && i < fields.size(); ++k, ++i)
            call.arguments << QFile::decodeName(fields[i]);
        result << call;
    }
    return result;
}

} // namespace testsupport
