#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// A stand-in for pkexec that a test puts first on PATH. It logs every call and then behaves like pkexec after
// the user's answer: Allow runs the program with pkexec's clean environment (PATH, HOME, USER, LOGNAME and
// PKEXEC_UID set to the caller's uid) as whoever called it — it cannot raise rights, so tests that need the
// program to run as root call it as root; Dismiss exits 126 and Deny exits 127 with pkexec's messages.
// AskOnTerminal asks for the password on the controlling terminal first, as pkexec's textual agent does
// without a desktop's agent: "secret" allows, anything else denies, the terminal's end dismisses.
class FakePkexec
{
public:
    enum class Mode
    {
        Allow,
        Dismiss,
        Deny,
        AskOnTerminal,
    };
    struct Call
    {
        uint uid = 0;
        QStringList arguments; // without "pkexec" itself
    };

    explicit FakePkexec(Mode mode = Mode::Allow);
    // Restores PATH when it was changed through putFirstOnPath().
    ~FakePkexec();
    FakePkexec(const FakePkexec &) = delete;
    FakePkexec &operator=(const FakePkexec &) = delete;

    bool isValid() const { return m_valid; }
    void setMode(Mode mode);
    QString directory() const { return m_dir.path(); }
    QString program() const { return m_dir.filePath(QStringLiteral("pkexec")); }
    // The current PATH with the fake's folder in front, for a child's environment.
    QString pathWithFakeFirst() const;
    // Puts the fake first on this process's own PATH until the fixture goes away.
    void putFirstOnPath();

    QList<Call> calls() const;

private:
    bool writeScript();

    QTemporaryDir m_dir;
    Mode m_mode;
    bool m_valid = false;
    QByteArray m_savedPath;
    bool m_pathChanged = false;
};

} // namespace testsupport
