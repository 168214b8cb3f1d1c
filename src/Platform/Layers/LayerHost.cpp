#include "Platform/Layers/LayerHost.h"

#include "Platform/Layers/BasicAnimation.h"
#include "Platform/Layers/Transaction.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace platform {

namespace {

// Geometry the host keeps in step with the widget must never animate.
struct ActionsOff
{
    ActionsOff()
    {
        Transaction::begin();
        Transaction::setDisableActions(true);
    }
    ~ActionsOff() { Transaction::commit(); }
};

} // namespace

LayerHost::LayerHost(QWidget *view) : QObject(view), m_view(view), m_layer(Layer::create())
{
    m_layer->m_host = this;
    {
        ActionsOff off;
        m_layer->setAnchorPoint(QPointF(0, 0));
    }
    m_clock.setRepaintHandler([this] { requestRepaint(); });
    view->installEventFilter(this);
    embed();
}

LayerHost::~LayerHost()
{
    m_layer->m_host = nullptr;
    m_layer->removeFromSuperlayer();
}

LayerHost *LayerHost::of(const QWidget *view)
{
    return view ? view->findChild<LayerHost *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

bool LayerHost::isViewHidden(const QWidget *view)
{
    // A new child widget counts as hidden to Qt until its parent is shown; only an explicit hide counts here.
    return view && view->testAttribute(Qt::WA_WState_Hidden) &&
           (view->testAttribute(Qt::WA_WState_ExplicitShowHide) || view->isWindow());
}

LayerHost *LayerHost::paintingHost()
{
    LayerHost *host = this;
    while (host->m_parentHost)
        host = host->m_parentHost;
    return host;
}

LayerClock &LayerHost::clock()
{
    return paintingHost()->m_clock;
}

bool LayerHost::isOnScreen() const
{
    return m_view && m_view->isVisible();
}

double LayerHost::alphaValue() const
{
    return m_layer->opacity();
}

void LayerHost::setAlphaValue(double alpha)
{
    m_layer->setOpacity(alpha);
}

void LayerHost::setNeedsDisplay()
{
    m_needsDisplay = true;
    if (!m_displayQueued) {
        m_displayQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_displayQueued = false;
                runOwnDisplay();
            },
            Qt::QueuedConnection);
    }
    requestRepaint();
}

void LayerHost::runOwnDisplay()
{
    if (!m_needsDisplay)
        return;
    m_needsDisplay = false;
    if (m_displayHandler)
        m_displayHandler();
}

void LayerHost::displayIfNeeded()
{
    runOwnDisplay();
    if (!m_view)
        return;
    const auto hosts = m_view->findChildren<LayerHost *>();
    for (LayerHost *host : hosts) {
        if (host != this)
            host->runOwnDisplay();
    }
}

void LayerHost::requestRepaint()
{
    LayerHost *host = paintingHost();
    if (host->m_view)
        host->m_view->update();
}

void LayerHost::render(QPainter &painter)
{
    if (!m_view)
        return;
    displayIfNeeded();
    // Qt holds back resize and move events of hidden widgets; geometry is taken from the widgets directly.
    syncGeometry();
    for (LayerHost *host : m_view->findChildren<LayerHost *>()) {
        if (host != this)
            host->syncGeometry();
    }
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    painter.translate(0, m_view->height());
    painter.scale(1, -1);
    if (isEmbedded())
        painter.translate(-m_layer->position());
    m_layer->render(painter, clock().now());
    painter.restore();
}

QImage LayerHost::snapshot(double scale)
{
    if (!m_view)
        return {};
    QImage image(m_view->size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(scale, scale);
    render(painter);
    return image;
}

void LayerHost::embed()
{
    LayerClock &oldClock = clock();
    const double oldNow = oldClock.now();
    m_layer->removeFromSuperlayer();
    QWidget *parent = m_view ? m_view->parentWidget() : nullptr;
    m_parentHost = parent ? LayerHost::of(parent) : nullptr;

    LayerClock &newClock = clock();
    if (&newClock != &oldClock)
        m_layer->rebaseAnimations(newClock.now() - oldNow);
    {
        ActionsOff off;
        m_layer->setHidden(isEmbedded() && isViewHidden(m_view));
        syncGeometry();
    }
    if (m_parentHost)
        m_parentHost->m_layer->addSublayer(m_layer);
    else
        m_layer->attachToClock(m_clock, m_clock.now());
    requestRepaint();
}

void LayerHost::syncGeometry()
{
    if (!m_view)
        return;
    ActionsOff off;
    const QRect r = m_view->geometry();
    m_layer->setBounds(QRectF(0, 0, r.width(), r.height()));
    if (m_parentHost && m_parentHost->m_view) {
        const int parentHeight = m_parentHost->m_view->height();
        m_layer->setPosition(QPointF(r.x(), parentHeight - r.y() - r.height()));
    } else {
        m_layer->setPosition(QPointF(0, 0));
    }
}

void LayerHost::syncEmbeddedChildren()
{
    if (!m_view)
        return;
    for (QObject *child : m_view->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        LayerHost *host = widget ? LayerHost::of(widget) : nullptr;
        if (host && host->m_parentHost == this)
            host->syncGeometry();
    }
}

void LayerHost::restackEmbeddedChildren()
{
    if (!m_view)
        return;
    for (QObject *child : m_view->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        LayerHost *host = widget ? LayerHost::of(widget) : nullptr;
        if (host && host->m_parentHost == this)
            m_layer->addSublayer(host->m_layer);
    }
}

bool LayerHost::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_view)
        return false;
    switch (event->type()) {
    case QEvent::Paint:
        if (!isEmbedded()) {
            QPainter painter(m_view);
            render(painter);
        }
        return true;
    case QEvent::Resize:
        syncGeometry();
        syncEmbeddedChildren();
        requestRepaint();
        break;
    case QEvent::Move:
        if (isEmbedded()) {
            syncGeometry();
            requestRepaint();
        }
        break;
    case QEvent::ShowToParent:
        if (isEmbedded()) {
            {
                ActionsOff off;
                m_layer->setHidden(false);
            }
            // Shown inside a view animation group: fade in over the group's duration.
            if (Transaction::allowsImplicitAnimation()) {
                BasicAnimation fade(QStringLiteral("opacity"));
                fade.setFromValue(0.0);
                fade.setToValue(m_layer->opacity());
                fade.setTimingFunction(Transaction::animationTimingFunction().value_or(
                    TimingFunction::named(TimingFunction::Name::Default)));
                m_layer->addAnimation(fade, QStringLiteral("opacity"));
            }
        }
        break;
    case QEvent::HideToParent:
        if (isEmbedded()) {
            ActionsOff off;
            m_layer->setHidden(true);
        }
        break;
    case QEvent::Show:
    case QEvent::Hide:
        clock().reschedule();
        requestRepaint();
        break;
    case QEvent::ParentChange:
        embed();
        break;
    case QEvent::ZOrderChange:
        if (m_parentHost)
            m_parentHost->restackEmbeddedChildren();
        break;
    default:
        break;
    }
    return false;
}

} // namespace platform
