#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs the disk tools as the application does (real processes, output of both streams together) and helps
// reading what they said.
struct ToolRun
{
    bool finished = false; // false: it had to be killed after the time limit
    int exitCode = -1;
    QString output;

    static QString tool(const QString &name); // <build>/bin/<name>
    static QProcessEnvironment environment(); // this process's, with <build>/bin first on PATH
    static ToolRun run(const QString &program, const QStringList &arguments,
                       const QProcessEnvironment &environment = ToolRun::environment(),
                       const QByteArray &input = {}, int timeoutMs = 120000);
    // The same program as the user "nobody", through setpriv.
    static ToolRun runAsNobody(const QString &program, const QStringList &arguments,
                               const QProcessEnvironment &environment);
    static QString setprivMissing(); // empty when setpriv is there
    // The text between single quotes for bash: every ' becomes '\''.
    static QString singleQuoted(const QString &text);

    QStringList errorLines() const;
    bool says(const QString &text) const { return output.contains(text); }
};

// Differences between two trees (kinds, modes, owners, modification times, link targets, bytes); empty when
// they are the same.
QString treeDifferences(const QString &expected, const QString &actual);
// Creates a file with the text (for "the old data" checks).
bool writeText(const QString &path, const QByteArray &text);
