#pragma once

#include <QAnimationDriver>
#include <QVariantAnimation>

// Stands in for the clock of Qt's animations on the calling thread while it exists: time stands still
// until advance() moves it, so tests, the gallery and the benchmark step animations frame by frame and see
// the same pictures on every run.
class ManualAnimationDriver : public QAnimationDriver
{
    Q_OBJECT

public:
    ManualAnimationDriver();
    ~ManualAnimationDriver() override;

    // Lets queued work run (animations join the clock from the event loop), then moves the time on and
    // updates every running animation: one started before the call moves by exactly the step.
    void advance(double seconds);
    qint64 elapsed() const override;

protected:
    void start() override;

private:
    double m_now = 0.0;
    qint64 m_started = 0;
    // Keeps Qt's animation timer on this driver without a break: a timer that stops and starts again would
    // count the wall clock's time in between.
    QVariantAnimation m_keepRunning;
};
