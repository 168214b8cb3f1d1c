#pragma once

#include <QObject>
#include <QTimer>

// When to ask the catalog service again after it could not be reached: after a pause that grows with each
// failure (3 s, then twice as long each time, at most a minute), at once when the system reports the
// network back, or when the user asks.
class CatalogRetry : public QObject
{
    Q_OBJECT

public:
    explicit CatalogRetry(QObject *parent = nullptr);

    // The request failed: the next try is scheduled.
    void failed();
    // The request answered: nothing more is scheduled, and the next failure starts over at the first pause.
    void succeeded();
    bool isWaiting() const { return m_timer.isActive(); }
    // The pause before the try now scheduled.
    int pauseMs() const { return m_timer.interval(); }

signals:
    void retryNow();

private:
    void fire();

    QTimer m_timer;
    int m_failures = 0;
};
