#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {

// A program run to its end with its output streams apart, for tests of command lines.
struct ProgramRun
{
    int exitCode = -1; // -1: it crashed or had to be killed after the time limit
    QByteArray out;
    QByteArray err;

    // environment: "NAME=value" entries added to this process's; input: what it reads (then its end).
    static ProgramRun run(const QString &program, const QStringList &arguments,
                          const QStringList &environment = {}, const QByteArray &input = {},
                          int timeoutMs = 180000);
    // The same with arguments as the file system's bytes, valid UTF-8 or not (QProcess takes text): each one
    // reaches the program through the shell's printf.
    static ProgramRun runWithBytes(const QString &program, const QByteArrayList &arguments,
                                   const QStringList &environment = {}, const QByteArray &input = {},
                                   int timeoutMs = 180000);
    // Every line of the standard output read as a JSON object; a line that is not one fails the test.
    QList<QJsonObject> jsonLines() const;
    QString describe() const;
};

} // namespace testsupport
