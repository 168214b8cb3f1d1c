#include "Cli/ProgressOutput.h"

#include "Cli/TerminalText.h"
#include "Creation/BaseModel.h"
#include "Platform/Runtime/Terminal.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

using Colour = TerminalText::Colour;

constexpr qint64 kSpeedWindowMs = 10000;
// The bar takes what the line leaves it, within these bounds; below the least it gives up the speed, then
// the time left, then the word before it.
constexpr int kLongestBar = 30;
constexpr int kShortestBar = 8;
// "  12.34 MB/s  1:23 left"
constexpr int kSpeedAndTimeLeft = 23;

void write(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

ProgressOutput::ProgressOutput(Style style, std::FILE *out, std::FILE *err)
    : m_style(style), m_out(out), m_err(err)
{
    // Scripts get no escape sequences, whatever reads their output.
    m_colour = style == Style::Terminal && TerminalText::wantsColour(out);
    m_errorColour = style == Style::Terminal && TerminalText::wantsColour(err);
    m_phaseClock.start();
}

QString ProgressOutput::duration(qint64 seconds)
{
    seconds = std::max<qint64>(0, seconds);
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void ProgressOutput::phase(const QString &phase, const QString &message)
{
    beginPhase(phase, message, phase == QLatin1String("creating"));
}

void ProgressOutput::measuredPhase(const QString &phase, const QString &message)
{
    beginPhase(phase, message, true);
}

void ProgressOutput::beginPhase(const QString &phase, const QString &message, bool measured)
{
    if (m_style == Style::Terminal && m_lineOpen)
        closeLine(phase == QLatin1String("cancelling") ? Mark::Stopped : Mark::Done);
    m_phase = phase;
    m_message = message;
    m_phaseClock.restart();
    m_measured = measured;
    if (m_measured) {
        m_fraction = 0;
        m_samples.clear();
        m_measureClock.start();
    }
    if (m_style == Style::JsonLines)
        json(phase, message);
    else
        redraw();
}

void ProgressOutput::progress(double fraction)
{
    m_fraction = std::clamp(fraction, 0.0, 1.0);
    const qint64 bytes = std::llround(m_fraction * static_cast<double>(m_total));
    if (m_measured) {
        const qint64 now = m_measureClock.elapsed();
        m_samples.emplace_back(now, bytes);
        while (m_samples.size() > 2 && now - m_samples.front().first > kSpeedWindowMs)
            m_samples.pop_front();
    }
    if (m_style == Style::JsonLines)
        json(m_phase, QString());
    else
        redraw();
}

void ProgressOutput::note(const QString &message)
{
    if (m_style == Style::JsonLines) {
        json(m_phase, message);
        return;
    }
    // The note goes above the running phase's line, which is drawn again below it.
    if (m_lineOpen)
        write(m_out, QStringLiteral("\r\x1b[K"));
    write(m_out, message + QLatin1Char('\n'));
    if (m_lineOpen)
        redraw();
}

void ProgressOutput::finish(const QString &outcome, const QString &message, const QJsonObject &details)
{
    const bool done = outcome == QLatin1String("done") || outcome == QLatin1String("intact");
    const bool cancelled = outcome == QLatin1String("cancelled");
    if (done)
        m_fraction = 1;
    if (m_style == Style::JsonLines) {
        json(outcome, message, details);
        // Scripts read the outcome from the JSON; people and logs also get a failure as a line of text.
        if (!done)
            write(m_err, QStringLiteral("bootdrive: ") + message + QLatin1Char('\n'));
        return;
    }
    if (m_lineOpen)
        closeLine(done || (cancelled && m_phase == QLatin1String("cancelling")) ? Mark::Done
                  : cancelled                                                   ? Mark::Stopped
                                                                                : Mark::Failed);
    if (done)
        write(m_out, TerminalText::painted(message, Colour::Green, m_colour) + QLatin1Char('\n'));
    else
        write(m_err,
              QStringLiteral("bootdrive: ") +
                  TerminalText::painted(message, cancelled ? Colour::Yellow : Colour::Red, m_errorColour) +
                  QLatin1Char('\n'));
}

void ProgressOutput::tick()
{
    if (m_style == Style::Terminal && m_lineOpen) {
        ++m_spin;
        redraw();
    }
}

void ProgressOutput::json(const QString &phase, const QString &message, const QJsonObject &details)
{
    QJsonObject line{
        {QStringLiteral("phase"), phase},
        {QStringLiteral("fraction"), m_fraction},
        {QStringLiteral("bytes"), std::llround(m_fraction * static_cast<double>(m_total))},
        {QStringLiteral("message"), message},
    };
    for (auto field = details.begin(); field != details.end(); ++field)
        line.insert(field.key(), field.value());
    std::fprintf(m_out, "%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    std::fflush(m_out);
}

QString ProgressOutput::statusLine(Mark mark, int width) const
{
    static const char spinner[] = {'|', '/', '-', '\\'};
    QString glyph;
    switch (mark) {
    case Mark::Running:
        glyph = TerminalText::painted(QString(QLatin1Char(spinner[m_spin % 4])), Colour::Cyan, m_colour);
        break;
    case Mark::Done:
        glyph = TerminalText::painted(QStringLiteral("\u2713"), Colour::Green, m_colour);
        break;
    case Mark::Failed:
        glyph = TerminalText::painted(QStringLiteral("\u2717"), Colour::Red, m_colour);
        break;
    case Mark::Stopped:
        glyph = TerminalText::painted(QStringLiteral("\u2013"), Colour::Yellow, m_colour);
        break;
    }
    if (m_measured && m_fraction > 0)
        return measuredLine(glyph, mark, width);

    // The glyph and a blank, the message, two blanks and the clock; the message gives way first, then the
    // clock.
    const QString clock = duration(m_phaseClock.elapsed() / 1000);
    const int room = width - 2;
    if (room - TerminalText::columns(clock) - 2 >= 8)
        return glyph + QLatin1Char(' ') +
               TerminalText::elided(m_message, room - TerminalText::columns(clock) - 2) +
               QStringLiteral("  ") + TerminalText::painted(clock, Colour::Dim, m_colour);
    return glyph + QLatin1Char(' ') + TerminalText::elided(m_message, room);
}

QString ProgressOutput::measuredLine(const QString &glyph, Mark state, int width) const
{
    QStringList tail;
    if (state == Mark::Done) {
        // Over: how much in how long, rather than a speed and a time left that no longer mean anything.
        const QString took = duration(m_measureClock.elapsed() / 1000);
        tail << (m_total > 0 ? QStringLiteral("%1 in %2").arg(BaseModel::fileSizeString(m_total), took)
                             : took);
    } else if (m_samples.size() >= 2) {
        const auto &[firstMs, firstBytes] = m_samples.front();
        const auto &[lastMs, lastBytes] = m_samples.back();
        const double seconds = static_cast<double>(lastMs - firstMs) / 1000.0;
        const double speed = seconds > 0 ? static_cast<double>(lastBytes - firstBytes) / seconds : 0;
        if (speed > 0)
            tail << QStringLiteral("%1/s").arg(BaseModel::fileSizeString(std::llround(speed)))
                 << QStringLiteral("%1 left").arg(
                        duration(std::llround(static_cast<double>(m_total - lastBytes) / speed)));
    }
    QString word =
        m_phase == QLatin1String("creating") ? QStringLiteral("Copying ") : QStringLiteral("Reading ");
    // Whole percents, never rounded up to a 100 not reached (the margin absorbs 0.95 * 100
    // coming out as 94.999…).
    const QString percent =
        QStringLiteral(" %1%").arg(static_cast<int>(std::floor(m_fraction * 100 + 1e-6)), 3);
    // While the phase runs, room is kept for the speed and the time left, so the bar does not jump when they
    // first appear.
    int reserve = state == Mark::Running ? kSpeedAndTimeLeft : 0;
    auto fixed = [&] {
        int tailColumns = 0;
        for (const QString &part : tail)
            tailColumns += 2 + TerminalText::columns(part);
        return 2 + TerminalText::columns(word) + 2 + TerminalText::columns(percent) +
               std::max(tailColumns, reserve);
    };
    while (width - fixed() < kShortestBar && (reserve > 0 || !tail.isEmpty() || !word.isEmpty())) {
        reserve = 0;
        if (width - fixed() >= kShortestBar)
            break;
        if (!tail.isEmpty())
            tail.removeFirst();
        else
            word.clear();
    }
    const int bar = std::clamp(width - fixed(), 1, kLongestBar);
    const int filled = static_cast<int>(m_fraction * bar);
    QString inside = TerminalText::painted(QString(filled, QLatin1Char('=')), Colour::Cyan, m_colour);
    if (filled < bar)
        inside += QLatin1Char('>') + QString(bar - filled - 1, QLatin1Char(' '));
    QString line = glyph + QLatin1Char(' ') + word + QLatin1Char('[') + inside + QLatin1Char(']') + percent;
    for (const QString &part : tail)
        line += QStringLiteral("  ") + TerminalText::painted(part, Colour::Dim, m_colour);
    return line;
}

void ProgressOutput::redraw(Mark mark)
{
    // A line as wide as the terminal would wrap (and "\r" then redraws only its last part), so one column
    // stays free.
    const int width = std::max(1, platform::Terminal::columns(m_out) - 1);
    write(m_out, QStringLiteral("\r") + statusLine(mark, width) + QStringLiteral("\x1b[K"));
    m_lineOpen = true;
}

void ProgressOutput::closeLine(Mark mark)
{
    redraw(mark);
    write(m_out, QStringLiteral("\n"));
    m_lineOpen = false;
}
