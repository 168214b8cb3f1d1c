#include "Common/CircularProgress/ManualAnimationDriver.h"

#include <QCoreApplication>
#include <cmath>

ManualAnimationDriver::ManualAnimationDriver()
{
    install();
    m_keepRunning.setStartValue(0.0);
    m_keepRunning.setEndValue(1.0);
    m_keepRunning.setDuration(1000);
    m_keepRunning.setLoopCount(-1);
    m_keepRunning.start();
    QCoreApplication::processEvents();
}

ManualAnimationDriver::~ManualAnimationDriver()
{
    m_keepRunning.stop();
    uninstall();
}

void ManualAnimationDriver::advance(double seconds)
{
    QCoreApplication::processEvents();
    m_now += seconds;
    advanceAnimation();
}

qint64 ManualAnimationDriver::elapsed() const
{
    return std::llround(m_now * 1000.0) - m_started;
}

// Qt's animation timer adds the driver's time to where its own stood when the driver started, so the time
// counts from there.
void ManualAnimationDriver::start()
{
    m_started = std::llround(m_now * 1000.0);
    QAnimationDriver::start();
}
