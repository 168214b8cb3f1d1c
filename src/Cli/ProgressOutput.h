#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>
#include <cstdio>
#include <deque>
#include <utility>

// How a command-line creation or check reports what it does: on a terminal, one line per phase that redraws
// itself while the phase runs (a spinner, what it does and its clock; while copying or reading a drive back a
// bar with percentage, speed and time left, which shrinks with the terminal's width) and keeps a mark once
// the phase is over (done, failed or stopped), in colour where the terminal takes it; for scripts, one JSON
// object per line with the phase, the fraction done, the bytes copied or read and a message.
class ProgressOutput
{
public:
    enum class Style
    {
        Terminal,
        JsonLines,
    };
    explicit ProgressOutput(Style style, std::FILE *out = stdout, std::FILE *err = stderr);

    Style style() const { return m_style; }
    // What a share is taken of: the installer's size, the bytes to read back.
    void setTotalBytes(qint64 bytes) { m_total = bytes; }
    // A new phase ("checking", "erasing", "authorizing", "creating", "verifying", "cancelling") and what it
    // does. The phase before it is over: done, or stopped when the new one is "cancelling".
    void phase(const QString &phase, const QString &message);
    // A phase whose share is reported, such as reading a drive back: from its first share on, its line
    // shows a bar with the speed and the time left, as the copy's does.
    void measuredPhase(const QString &phase, const QString &message);
    // The share of the phase's work done (0…1): of the copy on the drive, of the drive read back.
    void progress(double fraction);
    // A word within the current phase, such as that a cancel was asked for.
    void note(const QString &message);
    // The end: "done", "failed", "refused" or "cancelled" (a check of a drive ends "intact" or "damaged"),
    // what the user should know, and for scripts any further fields of the last JSON line.
    void finish(const QString &outcome, const QString &message, const QJsonObject &details = {});
    // Redraws the running phase's line (its clock and spinner) on a terminal.
    void tick();

    // "1:05", "1:02:03".
    static QString duration(qint64 seconds);

private:
    enum class Mark
    {
        Running,
        Done,
        Failed,
        Stopped,
    };

    void beginPhase(const QString &phase, const QString &message, bool measured);
    void json(const QString &phase, const QString &message, const QJsonObject &details = {});
    // The phase's line fitted to the terminal's width, coloured where wanted.
    QString statusLine(Mark mark, int width) const;
    // The line of a phase whose share is known: a bar, the percentage, the speed and the time left.
    QString measuredLine(const QString &mark, Mark state, int width) const;
    void redraw(Mark mark = Mark::Running);
    // Draws the line a last time with its mark and leaves it.
    void closeLine(Mark mark);

    Style m_style;
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_colour = false;
    bool m_errorColour = false;
    QString m_phase;
    QString m_message;
    double m_fraction = 0;
    qint64 m_total = 0;
    QElapsedTimer m_phaseClock;
    // Whether the running phase's share is known.
    bool m_measured = false;
    // Bytes done over the last seconds (milliseconds since the measuring began, bytes), for the speed.
    std::deque<std::pair<qint64, qint64>> m_samples;
    QElapsedTimer m_measureClock;
    int m_spin = 0;
    bool m_lineOpen = false;
};
