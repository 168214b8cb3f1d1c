#pragma once

#include <QAnimationDriver>
#include <QCoreApplication>
#include <QVariantAnimation>
#include <cmath>

// Stands in for the clock of Qt's animations on the calling thread while it exists: time stands still until
// advance() moves it, so the tests, the progress gallery and its benchmark step animations frame by frame
// and see the same pictures on every run.
class ManualAnimationDriver : public QAnimationDriver
{
public:
    ManualAnimationDriver()
    {
        install();
        // Keeps Qt's animation timer on this driver without a break: a timer that stopped and started again
        // would count the wall clock's time in between.
        m_keepRunning.setStartValue(0.0);
        m_keepRunning.setEndValue(1.0);
        m_keepRunning.setDuration(1000);
        m_keepRunning.setLoopCount(-1);
        m_keepRunning.start();
        for (int i = 0; i < 10 && !isRunning(); ++i)
            QCoreApplication::processEvents();
        // Qt's last tick may stand up to 50 ms of wall clock behind the time this driver took over; that
        // gap would go to the first animation a test starts. One tick now gives it to the keep-alive.
        advanceAnimation();
    }
    ~ManualAnimationDriver() override
    {
        m_keepRunning.stop();
        uninstall();
    }

    // Lets queued work run (animations join the clock from the event loop), then moves the time on and
    // updates every running animation: one started before the call moves by exactly the step.
    void advance(double seconds)
    {
        QCoreApplication::processEvents();
        m_now += seconds;
        advanceAnimation();
    }
    qint64 elapsed() const override { return std::llround(m_now * 1000.0) - m_started; }

protected:
    // Qt's animation timer adds the driver's time to where its own stood when the driver started, so the
    // time counts from there.
    void start() override
    {
        m_started = std::llround(m_now * 1000.0);
        QAnimationDriver::start();
    }

private:
    double m_now = 0.0;
    qint64 m_started = 0;
    QVariantAnimation m_keepRunning;
};
