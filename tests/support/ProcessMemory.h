#pragma once

#include <QtGlobal>

namespace testsupport {

// Whether resident memory says what the code holds: under AddressSanitizer freed blocks wait in a quarantine
// and every allocation carries shadow memory and red zones, so bounds are checked in the plain build only.
constexpr bool memoryIsMeasurable()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    return true;
#endif
}

// This process's resident memory now (VmRSS of /proc/self/status), in bytes; 0 when it cannot be read.
qint64 residentBytes();
// The most it has been resident at any time since it started (VmHWM), in bytes.
qint64 peakResidentBytes();

// The highest resident memory seen while it samples: call sample() as often as the test can (a waitUntil
// condition is a good place).
class PeakMemory
{
public:
    PeakMemory() : m_start(residentBytes()), m_peak(m_start) {}
    void sample();
    // How far the peak rose above the memory at the start.
    qint64 growth() const { return m_peak - m_start; }

private:
    qint64 m_start;
    qint64 m_peak;
};

} // namespace testsupport
