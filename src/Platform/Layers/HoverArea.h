#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <functional>

class QEvent;

namespace platform {

// A rectangle of a widget that reports when the pointer enters and leaves it, from Qt's enter, leave and
// move events of the widget and of the widgets inside it. The rectangle is in the widget's coordinates.
// While installed, the widget tracks the mouse so moves arrive without a button held.
class HoverArea : public QObject
{
    Q_OBJECT

public:
    enum Option : unsigned
    {
        MouseEnteredAndExited = 0x01,
        MouseMoved = 0x02,
        CursorUpdate = 0x04,
        ActiveWhenFirstResponder = 0x10,
        ActiveInKeyWindow = 0x20,
        ActiveInActiveApp = 0x40,
        ActiveAlways = 0x80
    };
    using Handler = std::function<void(QEvent *event)>;

    HoverArea(const QRectF &rect, unsigned options, Handler entered, Handler exited);
    ~HoverArea() override;

    QRectF rect() const { return m_rect; }
    unsigned options() const { return m_options; }
    QWidget *view() const { return m_view; }
    bool isPointerInside() const { return m_inside; }

    void install(QWidget *view);
    void uninstall();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isActive() const;
    void update(bool inside, QEvent *event);

    QRectF m_rect;
    unsigned m_options;
    Handler m_entered;
    Handler m_exited;
    QPointer<QWidget> m_view;
    bool m_inside = false;
};

} // namespace platform
