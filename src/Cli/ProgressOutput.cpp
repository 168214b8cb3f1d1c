#include "Cli/ProgressOutput.h"

#include "Creation/BaseModel.h"
#include "Platform/Runtime/Terminal.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 kSpeedWindowMs = 10000;
constexpr int kBarWidth = 24;

} // namespace

ProgressOutput::ProgressOutput(Style style, std::FILE *out, std::FILE *err)
    : m_style(style), m_out(out), m_err(err)
{
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
    if (m_style == Style::Terminal && m_lineOpen)
        endLine();
    m_phase = phase;
    m_message = message;
    m_phaseClock.restart();
    if (phase == QLatin1String("creating")) {
        m_fraction = 0;
        m_samples.clear();
        m_copyClock.start();
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
    if (m_copyClock.isValid()) {
        const qint64 now = m_copyClock.elapsed();
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
    if (m_lineOpen)
        endLine();
    std::fprintf(m_out, "%s\n", message.toLocal8Bit().constData());
    std::fflush(m_out);
}

void ProgressOutput::finish(const QString &outcome, const QString &message)
{
    if (outcome == QLatin1String("done"))
        m_fraction = 1;
    if (m_style == Style::JsonLines) {
        json(outcome, message);
    } else {
        if (m_lineOpen) {
            redraw();
            endLine();
        }
    }
    // Scripts read the outcome from the JSON; people and logs also get it as a line of text.
    std::FILE *stream = outcome == QLatin1String("done") ? m_out : m_err;
    if (m_style == Style::JsonLines && stream == m_out)
        return;
    std::fprintf(stream, "%s%s\n", stream == m_err ? "bootdrive: " : "", message.toLocal8Bit().constData());
    std::fflush(stream);
}

void ProgressOutput::tick()
{
    if (m_style == Style::Terminal && m_lineOpen) {
        ++m_spin;
        redraw();
    }
}

void ProgressOutput::json(const QString &phase, const QString &message)
{
    const QJsonObject line{
        {QStringLiteral("phase"), phase},
        {QStringLiteral("fraction"), m_fraction},
        {QStringLiteral("bytes"), std::llround(m_fraction * static_cast<double>(m_total))},
        {QStringLiteral("message"), message},
    };
    std::fprintf(m_out, "%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    std::fflush(m_out);
}

QString ProgressOutput::statusText() const
{
    const qint64 elapsed = m_phaseClock.elapsed() / 1000;
    if (m_phase != QLatin1String("creating") || m_fraction <= 0) {
        static const char spinner[] = {'|', '/', '-', '\\'};
        return QStringLiteral("%1 %2  %3")
            .arg(QString(QLatin1Char(spinner[m_spin % 4])), m_message, duration(elapsed));
    }
    const int filled = static_cast<int>(m_fraction * kBarWidth);
    QString bar = QString(filled, QLatin1Char('='));
    if (filled < kBarWidth)
        bar += QLatin1Char('>') + QString(kBarWidth - filled - 1, QLatin1Char(' '));
    QString text = QStringLiteral("Copying [%1] %2%").arg(bar).arg(static_cast<int>(m_fraction * 100), 3);
    if (m_samples.size() >= 2) {
        const auto &[firstMs, firstBytes] = m_samples.front();
        const auto &[lastMs, lastBytes] = m_samples.back();
        const double seconds = static_cast<double>(lastMs - firstMs) / 1000.0;
        const double speed = seconds > 0 ? static_cast<double>(lastBytes - firstBytes) / seconds : 0;
        if (speed > 0) {
            text += QStringLiteral("  %1/s").arg(BaseModel::fileSizeString(std::llround(speed)));
            const double left = static_cast<double>(m_total - lastBytes) / speed;
            text += QStringLiteral("  %1 left").arg(duration(std::llround(left)));
        }
    }
    return text;
}

void ProgressOutput::redraw()
{
    QString text = statusText();
    // A line longer than the terminal would wrap, and "\r" would then redraw only its last part.
    const int width = platform::Terminal::columns(m_out) - 1;
    if (text.size() > width)
        text.truncate(std::max(0, width));
    std::fprintf(m_out, "\r%s\x1b[K", text.toLocal8Bit().constData());
    std::fflush(m_out);
    m_lineOpen = true;
}

void ProgressOutput::endLine()
{
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_lineOpen = false;
}
