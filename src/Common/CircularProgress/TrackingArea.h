#pragma once

#include "Platform/Layers/HoverArea.h"

#include <QPointer>
#include <QRectF>
#include <memory>
#include <optional>

class QWidget;

// Keeps a view's hover area up to date: update() replaces the installed area with a fresh one over the
// rectangle fixed at construction. The view must answer mouseEntered/mouseExited.
class TrackingArea
{
public:
    class Owner
    {
    public:
        virtual ~Owner() = default;
        virtual void mouseEntered(QEvent *event) = 0;
        virtual void mouseExited(QEvent *event) = 0;
    };

    // Without a rectangle the area covers the view's bounds at this moment, and keeps them.
    TrackingArea(QWidget *view, Owner *owner, std::optional<QRectF> rect, unsigned options);
    ~TrackingArea();

    QWidget *view() const { return m_view; }
    QRectF rect() const { return m_rect; }
    unsigned options() const { return m_options; }
    const platform::HoverArea *installedArea() const { return m_area.get(); }

    void update();

private:
    QPointer<QWidget> m_view;
    Owner *m_owner;
    QRectF m_rect;
    unsigned m_options;
    std::unique_ptr<platform::HoverArea> m_area;
};
