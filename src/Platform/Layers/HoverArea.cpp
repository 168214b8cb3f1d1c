#include "Platform/Layers/HoverArea.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QWidget>

namespace platform {

HoverArea::HoverArea(const QRectF &rect, unsigned options, Handler entered, Handler exited)
    : m_rect(rect), m_options(options), m_entered(std::move(entered)), m_exited(std::move(exited))
{}

HoverArea::~HoverArea()
{
    uninstall();
}

void HoverArea::install(QWidget *view)
{
    uninstall();
    if (!view)
        return;
    m_view = view;
    m_inside = false;
    view->setMouseTracking(true);
    // Events of the widgets inside the view matter too (the pointer over a child is still over the area),
    // and only the application sees all of them.
    qApp->installEventFilter(this);
}

void HoverArea::uninstall()
{
    if (qApp)
        qApp->removeEventFilter(this);
    m_view = nullptr;
    m_inside = false;
}

bool HoverArea::isActive() const
{
    if (m_options & ActiveAlways)
        return true;
    // Background applications do not see hover changes; the platform reports inactive when no window of
    // ours has focus, yet a window on screen without a window manager still counts as in front.
    return QGuiApplication::applicationState() != Qt::ApplicationSuspended &&
           QGuiApplication::applicationState() != Qt::ApplicationHidden;
}

void HoverArea::update(bool inside, QEvent *event)
{
    if (inside == m_inside)
        return;
    m_inside = inside;
    if (!(m_options & MouseEnteredAndExited) || !isActive())
        return;
    const Handler &handler = inside ? m_entered : m_exited;
    if (handler)
        handler(event);
}

bool HoverArea::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Enter && type != QEvent::Leave && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return false;
    QWidget *view = m_view;
    if (!view || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (widget != view && !view->isAncestorOf(widget))
        return false;

    // Keep a guard: a handler may remove this area from its view.
    QPointer<HoverArea> self(this);
    if (type == QEvent::Leave) {
        // Leaving a child lands on the view itself, which then sees moves; only leaving the view ends it.
        if (widget == view)
            update(false, event);
        return false;
    }
    QPointF position;
    if (type == QEvent::Enter)
        position = static_cast<QEnterEvent *>(event)->position();
    else
        position = static_cast<QMouseEvent *>(event)->position();
    if (widget != view)
        position = widget->mapTo(view, position);
    if (self)
        update(m_rect.contains(position), event);
    return false;
}

} // namespace platform
