#include "support/ProgramRun.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace testsupport {

ProgramRun ProgramRun::run(const QString &program, const QStringList &arguments,
                           const QStringList &environment, const QByteArray &input, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    ProgramRun result;
    if (!process.waitForStarted(10000)) {
        result.err = process.errorString().toUtf8();
        return result;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

ProgramRun ProgramRun::runWithBytes(const QString &program, const QByteArrayList &arguments,
                                    const QStringList &environment, const QByteArray &input, int timeoutMs)
{
    QString script = QStringLiteral("exec \"$0\"");
    QStringList escaped;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        script += QStringLiteral(" \"$(printf '%b' \"${%1}\")\"").arg(i + 1);
        QString text;
        for (const char c : arguments[i]) {
            const auto byte = static_cast<unsigned char>(c);
            text += byte >= 0x20 && byte < 0x7f && c != '\\'
                        ? QString(QLatin1Char(c))
                        : QStringLiteral("\\0%1").arg(byte, 3, 8, QLatin1Char('0'));
        }
        escaped << text;
    }
    return run(QStringLiteral("/bin/sh"), QStringList{QStringLiteral("-c"), script, program} + escaped,
               environment, input, timeoutMs);
}

QList<QJsonObject> ProgramRun::jsonLines() const
{
    QList<QJsonObject> lines;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        EXPECT_TRUE(document.isObject()) << "not a JSON object: " << line.toStdString();
        lines << document.object();
    }
    return lines;
}

QString ProgramRun::describe() const
{
    return QStringLiteral("exit %1\n--- stdout\n%2\n--- stderr\n%3")
        .arg(exitCode)
        .arg(QString::fromUtf8(out), QString::fromUtf8(err));
}

} // namespace testsupport
