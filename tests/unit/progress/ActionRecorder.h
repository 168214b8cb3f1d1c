#pragma once

#include <QObject>
#include <QPointer>

// A target for buttons' actions that counts what it was sent.
class ActionRecorder : public QObject
{
    Q_OBJECT

public:
    int count = 0;
    QPointer<QObject> lastSender;

    Q_INVOKABLE void buttonPressed(QObject *sender)
    {
        ++count;
        lastSender = sender;
    }
};
