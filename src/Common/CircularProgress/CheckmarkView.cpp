#include "Common/CircularProgress/CheckmarkView.h"

#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/ColorHelpers.h"

#include <QPainterPath>
#include <algorithm>

CheckmarkView::CheckmarkView(const QRect &frame, QWidget *parent)
    : QWidget(parent), m_color(ColorHelpers::sharedDefaultColor()), m_host(new platform::LayerHost(this))
{
    setGeometry(frame);
    setUp();
}

CheckmarkView::CheckmarkView(QWidget *parent)
    : QWidget(parent), m_color(ColorHelpers::sharedDefaultColor()), m_host(new platform::LayerHost(this))
{
    setUp();
}

void CheckmarkView::setUp()
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_host->layer()->addSublayer(shapeLayer());
    shapeLayer()->removeAnimationForKey(m_animationKey);
}

const platform::ShapeLayerPtr &CheckmarkView::shapeLayer()
{
    if (m_shapeLayer)
        return m_shapeLayer;
    const QRectF b(0, 0, width(), height());
    const double m = std::min(b.width(), b.height());
    const double s = 0.4 * m;
    // Centred in the view, so the mark sits in the middle of the ring whatever the view's proportions.
    const QPointF origin((b.width() - s) / 2.0, (b.height() - s) / 2.0);

    QPainterPath path(QPointF(0, s / 2.0));
    path.lineTo(s / 3.0, s / 6.0);
    path.lineTo(s, 5.0 * s / 6.0);

    m_shapeLayer = platform::ShapeLayer::create();
    m_shapeLayer->setFrame(QRectF(origin, QSizeF(s, s)));
    m_shapeLayer->setPath(path);
    m_shapeLayer->setFillColor(QColor());
    m_shapeLayer->setLineCap(platform::ShapeLayer::LineCap::Round);
    m_shapeLayer->setLineJoin(platform::ShapeLayer::LineJoin::Miter);
    m_shapeLayer->setLineWidth(m_lineWidth);
    m_shapeLayer->setStrokeColor(m_color);
    return m_shapeLayer;
}

const platform::KeyframeAnimation &CheckmarkView::animation()
{
    if (!m_animation) {
        m_animation = std::make_unique<platform::KeyframeAnimation>(QStringLiteral("strokeEnd"));
        m_animation->setValues({0.0, 1.0});
        m_animation->setDuration(0.5);
        m_animation->setTimingFunctions({AnimationHelpers::easeOutTiming()});
        m_animation->setRemovedOnCompletion(true);
    }
    return *m_animation;
}

void CheckmarkView::setColor(const QColor &color)
{
    m_color = color;
    shapeLayer()->setStrokeColor(color);
}

void CheckmarkView::setLineWidth(double width)
{
    m_lineWidth = width;
    shapeLayer()->setLineWidth(width);
}

void CheckmarkView::setVisible(bool visible)
{
    const bool wasHidden = platform::LayerHost::isViewHidden(this);
    QWidget::setVisible(visible);
    const bool isHidden = platform::LayerHost::isViewHidden(this);
    if (wasHidden == isHidden)
        return;
    if (isHidden)
        shapeLayer()->removeAnimationForKey(m_animationKey);
    else
        startAnimation();
}

void CheckmarkView::startAnimation()
{
    if (shapeLayer()->animationForKey(m_animationKey))
        return;
    shapeLayer()->addAnimation(animation(), m_animationKey);
}
