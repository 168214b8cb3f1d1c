#include "support/ProcessMemory.h"

#include <QFile>
#include <algorithm>

namespace testsupport {

namespace {

// A "Name:   1234 kB" line of /proc/self/status, in bytes.
qint64 statusBytes(const QByteArray &name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

} // namespace

qint64 residentBytes()
{
    return statusBytes("VmRSS");
}

qint64 peakResidentBytes()
{
    return statusBytes("VmHWM");
}

void PeakMemory::sample()
{
    m_peak = std::max(m_peak, residentBytes());
}

} // namespace testsupport
