#pragma once

#include "Platform/Layers/Layer.h"
#include "Platform/Layers/LayerClock.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

class QPainter;

namespace platform {

// Makes a widget layer-backed: the widget gets a backing layer the size of its rectangle, and paints the
// layer tree instead of itself. A layer-backed widget inside another one is drawn by the outer one, its
// backing layer a sublayer of the outer backing layer (stacked like the widgets), so one host paints a whole
// tree and its one clock drives every animation in it. The host sees the widget's events through an event
// filter, so any widget class can be layer-backed.
//
// Geometry: layers use the platform's y-up coordinates inside each backing layer; the painting host flips
// once. Widget rectangles (frames, hover areas) stay in Qt's coordinates.
class LayerHost : public QObject
{
    Q_OBJECT

public:
    explicit LayerHost(QWidget *view);
    ~LayerHost() override;

    static LayerHost *of(const QWidget *view);
    // The widget's own hidden flag (hide(), setHidden(true)), not whether it is on screen now.
    static bool isViewHidden(const QWidget *view);

    QWidget *view() const { return m_view; }
    const LayerPtr &layer() const { return m_layer; }
    // The clock that drives this tree: the painting host's.
    LayerClock &clock();
    // The host that paints this one: itself unless embedded in an outer layer-backed widget.
    LayerHost *paintingHost();
    bool isEmbedded() const { return !m_parentHost.isNull(); }
    bool isOnScreen() const;

    // The view's opacity, applied to its backing layer.
    double alphaValue() const;
    void setAlphaValue(double alpha);

    // The display update: the handler runs before the next paint, or sooner from the event loop, once per
    // request, so that a view's layers pick up its state in one place.
    void setDisplayHandler(std::function<void()> handler) { m_displayHandler = std::move(handler); }
    void setNeedsDisplay();
    bool needsDisplay() const { return m_needsDisplay; }
    // Runs the display update of this host and of the hosts embedded in it, where requested.
    void displayIfNeeded();

    void requestRepaint();
    // Paints the tree at the clock's time, in the widget's coordinates.
    void render(QPainter &painter);
    // The widget's picture on its own, at the given scale.
    QImage snapshot(double scale = 1.0);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void embed();
    void syncGeometry();
    void syncEmbeddedChildren();
    void restackEmbeddedChildren();
    void runOwnDisplay();

    QPointer<QWidget> m_view;
    LayerPtr m_layer;
    LayerClock m_clock;
    QPointer<LayerHost> m_parentHost;
    std::function<void()> m_displayHandler;
    bool m_needsDisplay = false;
    bool m_displayQueued = false;
};

} // namespace platform
