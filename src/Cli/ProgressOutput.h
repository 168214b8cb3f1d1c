#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <deque>
#include <utility>

// How a command-line creation reports what it does: on a terminal, one line per phase that redraws itself
// while the phase runs (a spinner, what it does and its clock; while copying a bar with percentage, speed
// and time left, which shrinks with the terminal's width) and keeps a mark once the phase is over (done,
// failed or stopped), in colour where the terminal takes it; for scripts, one JSON object per line with the
// phase, the fraction done, the bytes copied and a message.
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
    // The installer's size, which a fraction of the copy is taken of.
    void setTotalBytes(qint64 bytes) { m_total = bytes; }
    // A new phase ("checking", "erasing", "authorizing", "creating", "verifying", "cancelling") and what it
    // does. The phase before it is over: done, or stopped when the new one is "cancelling".
    void phase(const QString &phase, const QString &message);
    // The share of the copy on the drive (0…1).
    void progress(double fraction);
    // A word within the current phase, such as that a cancel was asked for.
    void note(const QString &message);
    // The end: "done", "failed", "refused" or "cancelled", and what the user should know.
    void finish(const QString &outcome, const QString &message);
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

    void json(const QString &phase, const QString &message);
    // The phase's line fitted to the terminal's width, coloured where wanted.
    QString statusLine(Mark mark, int width) const;
    QString copyLine(const QString &mark, Mark state, int width) const;
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
    // Bytes on the drive over the last seconds (milliseconds since the copy began, bytes), for the speed.
    std::deque<std::pair<qint64, qint64>> m_samples;
    QElapsedTimer m_copyClock;
    int m_spin = 0;
    bool m_lineOpen = false;
};
