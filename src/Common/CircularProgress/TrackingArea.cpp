#include "Common/CircularProgress/TrackingArea.h"

#include <QWidget>

TrackingArea::TrackingArea(QWidget *view, Owner *owner, std::optional<QRectF> rect, unsigned options)
    : m_view(view), m_owner(owner), m_rect(rect.value_or(view ? QRectF(view->rect()) : QRectF())),
      m_options(options)
{}

TrackingArea::~TrackingArea() = default;

void TrackingArea::update()
{
    if (m_area)
        m_area->uninstall();
    // The installed area always tracks entering and leaving while the application is in front.
    constexpr unsigned options =
        platform::HoverArea::MouseEnteredAndExited | platform::HoverArea::ActiveInActiveApp;
    QPointer<QWidget> view = m_view;
    Owner *owner = m_owner;
    auto entered = [view, owner](QEvent *event) {
        if (view && owner)
            owner->mouseEntered(event);
    };
    auto exited = [view, owner](QEvent *event) {
        if (view && owner)
            owner->mouseExited(event);
    };
    m_area = std::make_unique<platform::HoverArea>(m_rect, options, entered, exited);
    if (m_view)
        m_area->install(m_view);
}
