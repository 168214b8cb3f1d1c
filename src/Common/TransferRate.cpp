#include "Common/TransferRate.h"

#include <algorithm>
#include <cmath>

void TransferRate::restart(qint64 total)
{
    m_total = total;
    m_samples.clear();
}

void TransferRate::sample(qint64 ms, qint64 bytes)
{
    m_samples.emplace_back(ms, bytes);
    while (m_samples.size() > 2 && ms - m_samples.front().first > kWindowMs)
        m_samples.pop_front();
}

std::optional<double> TransferRate::bytesPerSecond() const
{
    if (m_samples.size() < 2)
        return std::nullopt;
    const auto &[firstMs, firstBytes] = m_samples.front();
    const auto &[lastMs, lastBytes] = m_samples.back();
    if (lastMs <= firstMs || lastBytes <= firstBytes)
        return std::nullopt;
    return static_cast<double>(lastBytes - firstBytes) * 1000.0 / static_cast<double>(lastMs - firstMs);
}

std::optional<qint64> TransferRate::secondsLeft() const
{
    const std::optional<double> speed = bytesPerSecond();
    if (!speed || m_samples.empty())
        return std::nullopt;
    const qint64 left = std::max<qint64>(0, m_total - m_samples.back().second);
    return std::llround(static_cast<double>(left) / *speed);
}
