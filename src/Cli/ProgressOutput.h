#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <deque>
#include <utility>

// How a command-line creation reports what it does: on a terminal, a status line that redraws itself (the
// phase, and while copying a bar with percentage, speed and time left); for scripts, one JSON object per
// line with the phase, the fraction done, the bytes copied and a message.
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
    // A new phase ("checking", "erasing", "authorizing", "creating", "verifying") and what it does.
    void phase(const QString &phase, const QString &message);
    // The share of the copy on the drive (0…1).
    void progress(double fraction);
    // A word within the current phase, such as that a cancel was asked for.
    void note(const QString &message);
    // The end: "done", "failed", "refused" or "cancelled", and what the user should know.
    void finish(const QString &outcome, const QString &message);
    // Redraws the status line (its clock and spinner) on a terminal.
    void tick();

    // "1:05", "1:02:03".
    static QString duration(qint64 seconds);

private:
    void json(const QString &phase, const QString &message);
    void redraw();
    QString statusText() const;
    void endLine();

    Style m_style;
    std::FILE *m_out;
    std::FILE *m_err;
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
