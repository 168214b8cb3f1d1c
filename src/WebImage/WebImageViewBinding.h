#pragma once

#include "WebImage/WebImageOperation.h"

#include <QObject>

class QLabel;

// Which load an image view is waiting for. A child of the view: it goes with the view and cancels the load.
class WebImageViewBinding : public QObject
{
    Q_OBJECT

public:
    // The view's binding, made on first use.
    static WebImageViewBinding *of(QLabel *view);
    ~WebImageViewBinding() override;

    // Starts a new request on the view and returns its number; results of earlier numbers no longer apply.
    quint64 begin() { return ++m_generation; }
    quint64 generation() const { return m_generation; }
    // The load of the current request; the previous one is cancelled.
    void setOperation(WebImageOperationPtr operation);

private:
    explicit WebImageViewBinding(QLabel *view);

    quint64 m_generation = 0;
    WebImageOperationPtr m_operation;
};
