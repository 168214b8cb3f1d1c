#include "Platform/Layers/Layer.h"

#include "Platform/Layers/AnimationListener.h"
#include "Platform/Layers/BasicAnimation.h"
#include "Platform/Layers/LayerClock.h"
#include "Platform/Layers/LayerHost.h"
#include "Platform/Layers/Transaction.h"
#include "Platform/Layers/TransactionGroup.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace platform {

namespace {

QPainterPath roundedRectPath(const QRectF &rect, double radius)
{
    QPainterPath path;
    const double r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2.0);
    if (r > 0)
        path.addRoundedRect(rect, r, r);
    else
        path.addRect(rect);
    return path;
}

// Three box passes approximate a Gaussian; works on the alpha of a premultiplied image in place.
void blurAlpha(QImage &image, double radius)
{
    const int boxRadius = std::max(1, int(std::lround(radius / 2.0)));
    const int w = image.width();
    const int h = image.height();
    std::vector<float> alpha(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            alpha[std::size_t(y) * w + x] = float(qAlpha(line[x]));
    }
    std::vector<float> scratch(std::max(w, h));
    auto pass = [&](int count, int stride, int lines, int lineStride) {
        for (int l = 0; l < lines; ++l) {
            float *base = alpha.data() + std::size_t(l) * lineStride;
            float sum = 0;
            for (int i = -boxRadius; i <= boxRadius; ++i)
                sum += (i >= 0 && i < count) ? base[std::size_t(i) * stride] : 0.0f;
            for (int i = 0; i < count; ++i) {
                scratch[i] = sum / float(2 * boxRadius + 1);
                const int out = i - boxRadius;
                const int in = i + boxRadius + 1;
                sum -= (out >= 0) ? base[std::size_t(out) * stride] : 0.0f;
                sum += (in < count) ? base[std::size_t(in) * stride] : 0.0f;
            }
            for (int i = 0; i < count; ++i)
                base[std::size_t(i) * stride] = scratch[i];
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(w, 1, h, w);
        pass(h, w, w, 1);
    }
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a = std::clamp(int(std::lround(alpha[std::size_t(y) * w + x])), 0, 255);
            line[x] = qRgba(0, 0, 0, a);
        }
    }
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    return a.typeId() == b.typeId() && a == b;
}

} // namespace

// The kept picture of a rasterized layer, valid for one content version and one placement on the pixel grid.
struct Layer::Raster
{
    QImage image;
    quint64 version = 0;
    QTransform linear; // the device's scale, with the flip of the y axis
    QPointF fraction;  // the sub-pixel part of the layer's device position when it was drawn
    QRectF area;       // painted bounds, in the layer's coordinates
    bool valid = false;
};

Layer::Layer() = default;

Layer::~Layer()
{
    for (const LayerPtr &sublayer : m_sublayers)
        sublayer->m_superlayer = nullptr;
}

LayerPtr Layer::create()
{
    return std::make_shared<Layer>();
}

void Layer::setBounds(const QRectF &bounds)
{
    setValue(Keys::bounds, bounds);
}

void Layer::setPosition(const QPointF &position)
{
    setValue(Keys::position, position);
}

void Layer::setAnchorPoint(const QPointF &anchorPoint)
{
    setValue(Keys::anchorPoint, anchorPoint);
}

QTransform Layer::toSuperlayer(const Layer &values) const
{
    const QRectF b = values.m_bounds;
    const QPointF anchor(b.x() + values.m_anchorPoint.x() * b.width(),
                         b.y() + values.m_anchorPoint.y() * b.height());
    return QTransform::fromTranslate(-anchor.x(), -anchor.y()) * values.m_transform *
           QTransform::fromTranslate(values.m_position.x(), values.m_position.y());
}

QRectF Layer::frame() const
{
    const QTransform map = toSuperlayer(*this);
    return map.mapRect(m_bounds);
}

void Layer::setFrame(const QRectF &frame)
{
    setBounds(QRectF(m_bounds.topLeft(), frame.size()));
    setPosition(QPointF(frame.x() + m_anchorPoint.x() * frame.width(),
                        frame.y() + m_anchorPoint.y() * frame.height()));
}

void Layer::setTransform(const QTransform &transform)
{
    setValue(Keys::transform, transform);
}

void Layer::setHidden(bool hidden)
{
    if (m_hidden == hidden)
        return;
    m_hidden = hidden;
    contentChanged();
    setNeedsRepaint();
    // Showing or hiding may start or stop the frames of an animation that runs for ever.
    if (LayerClock *c = clock())
        c->reschedule();
}

void Layer::setOpacity(double opacity)
{
    setValue(Keys::opacity, opacity);
}

void Layer::setBackgroundColor(const QColor &color)
{
    setValue(Keys::backgroundColor, color);
}

void Layer::setCornerRadius(double radius)
{
    setValue(Keys::cornerRadius, radius);
}

void Layer::setBorderWidth(double width)
{
    setValue(Keys::borderWidth, width);
}

void Layer::setBorderColor(const QColor &color)
{
    setValue(Keys::borderColor, color);
}

void Layer::setMasksToBounds(bool masks)
{
    setValue(Keys::masksToBounds, masks);
}

void Layer::setShadowColor(const QColor &color)
{
    setValue(Keys::shadowColor, color);
}

void Layer::setShadowOpacity(double opacity)
{
    setValue(Keys::shadowOpacity, opacity);
}

void Layer::setShadowRadius(double radius)
{
    setValue(Keys::shadowRadius, radius);
}

void Layer::setShadowOffset(const QSizeF &offset)
{
    setValue(Keys::shadowOffset, offset);
}

void Layer::setContentsScale(double scale)
{
    setValue(Keys::contentsScale, scale);
}

const LayerPropertyTable &Layer::layerProperties()
{
    static const LayerPropertyTable table(
        nullptr, {
                     layerProperty(Keys::bounds, &Layer::m_bounds, Animates::Yes),
                     layerProperty(Keys::position, &Layer::m_position, Animates::Yes),
                     layerProperty(Keys::anchorPoint, &Layer::m_anchorPoint, Animates::Yes),
                     layerProperty(Keys::transform, &Layer::m_transform, Animates::Yes),
                     layerProperty(Keys::hidden, &Layer::m_hidden, Animates::No),
                     layerProperty(Keys::opacity, &Layer::m_opacity, Animates::Yes),
                     layerProperty(Keys::backgroundColor, &Layer::m_backgroundColor, Animates::Yes),
                     layerProperty(Keys::cornerRadius, &Layer::m_cornerRadius, Animates::Yes),
                     layerProperty(Keys::borderWidth, &Layer::m_borderWidth, Animates::Yes),
                     layerProperty(Keys::borderColor, &Layer::m_borderColor, Animates::Yes),
                     layerProperty(Keys::masksToBounds, &Layer::m_masksToBounds, Animates::No),
                     layerProperty(Keys::shadowColor, &Layer::m_shadowColor, Animates::Yes),
                     layerProperty(Keys::shadowOpacity, &Layer::m_shadowOpacity, Animates::Yes),
                     layerProperty(Keys::shadowRadius, &Layer::m_shadowRadius, Animates::Yes),
                     layerProperty(Keys::shadowOffset, &Layer::m_shadowOffset, Animates::Yes),
                     layerProperty(Keys::contentsScale, &Layer::m_contentsScale, Animates::No),
                 });
    return table;
}

const LayerPropertyTable &Layer::propertyTable() const
{
    return layerProperties();
}

QVariant Layer::valueForKey(const QString &key) const
{
    // The frame is derived from the bounds, position, anchor point and transform; it is not stored.
    if (key == QLatin1String("frame"))
        return frame();
    const LayerProperty *property = propertyTable().find(key);
    return property ? property->get(*this) : QVariant();
}

bool Layer::storeValue(const QString &key, const QVariant &value)
{
    const LayerProperty *property = propertyTable().find(key);
    if (!property)
        return false;
    property->set(*this, value);
    return true;
}

bool Layer::isAnimatableKey(const QString &key) const
{
    const LayerProperty *property = propertyTable().find(key);
    return property && property->animatable;
}

void Layer::setValueForKey(const QString &key, const QVariant &value)
{
    if (key == QLatin1String("frame")) {
        setFrame(value.toRectF());
        return;
    }
    if (key == QLatin1String("hidden")) {
        setHidden(value.toBool());
        return;
    }
    const QVariant old = valueForKey(key);
    if (!old.isValid() || sameValue(old, value))
        return;
    const std::optional<QVariant> from = implicitFromValue(key);
    if (!storeValue(key, value) || sameValue(old, valueForKey(key)))
        return;
    contentChanged();
    if (from)
        runImplicitAction(key, *from);
    setNeedsRepaint();
}

std::optional<QVariant> Layer::implicitFromValue(const QString &key) const
{
    if (!m_presented || Transaction::disableActions() || !isAnimatableKey(key))
        return std::nullopt;
    const auto action = m_actions.constFind(key);
    if (action != m_actions.cend() && !*action)
        return std::nullopt;
    // A view's own backing layer follows the view-level switch, as the platform's views do.
    if (m_host && !Transaction::allowsImplicitAnimation())
        return std::nullopt;
    LayerClock *c = clock();
    if (!c)
        return std::nullopt;
    return presentationValue(key, c->now());
}

void Layer::runImplicitAction(const QString &key, const QVariant &from)
{
    const auto action = m_actions.constFind(key);
    std::shared_ptr<Animation> animation =
        action != m_actions.cend() && *action ? (*action)->clone() : std::make_shared<BasicAnimation>(key);
    animation->setKeyPath(key);
    if (auto *basic = dynamic_cast<BasicAnimation *>(animation.get())) {
        basic->setFromValue(from);
        basic->setToValue(valueForKey(key));
    }
    if (animation->duration() <= 0)
        animation->setDuration(Transaction::animationDuration());
    if (!animation->timingFunction())
        animation->setTimingFunction(Transaction::animationTimingFunction().value_or(
            TimingFunction::named(TimingFunction::Name::Default)));
    addAnimation(*animation, key);
}

void Layer::addSublayer(const LayerPtr &layer)
{
    insertSublayer(layer, m_sublayers.size());
}

void Layer::insertSublayer(const LayerPtr &layer, std::size_t index)
{
    if (!layer || layer.get() == this)
        return;
    const LayerPtr keep = layer;
    layer->removeFromSuperlayer();
    index = std::min(index, m_sublayers.size());
    m_sublayers.insert(m_sublayers.begin() + std::ptrdiff_t(index), layer);
    layer->m_superlayer = this;
    if (LayerClock *c = clock())
        layer->attachToClock(*c, c->now());
    contentChanged();
    setNeedsRepaint();
}

void Layer::removeFromSuperlayer()
{
    Layer *parent = m_superlayer;
    if (!parent)
        return;
    parent->setNeedsRepaint();
    const LayerPtr keep = shared_from_this();
    auto &siblings = parent->m_sublayers;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
    m_superlayer = nullptr;
    parent->contentChanged();
}

void Layer::addAnimation(const Animation &animation, const QString &key)
{
    AnimationPtr copy = animation.clone();
    if (copy->m_duration <= 0)
        copy->m_duration = Transaction::animationDuration();
    if (!copy->m_timing)
        copy->m_timing = Transaction::animationTimingFunction();
    copy->m_groups = Transaction::openGroups();
    for (const auto &group : copy->m_groups)
        group->retainAnimation();

    AnimationPtr replaced;
    if (!key.isEmpty()) {
        for (auto it = m_animations.begin(); it != m_animations.end(); ++it) {
            if (it->first == key) {
                replaced = it->second;
                m_animations.erase(it);
                break;
            }
        }
    }
    m_animations.emplace_back(key, copy);
    contentChanged();
    if (LayerClock *c = clock()) {
        copy->m_start = c->now() + copy->m_beginTime;
        c->track(shared_from_this());
    }
    setNeedsRepaint();
    if (replaced)
        stopAnimation(replaced, false, nullptr);
}

std::shared_ptr<const Animation> Layer::animationForKey(const QString &key) const
{
    for (const auto &[k, animation] : m_animations) {
        if (k == key && !key.isEmpty())
            return animation;
    }
    return nullptr;
}

QStringList Layer::animationKeys() const
{
    QStringList keys;
    for (const auto &entry : m_animations) {
        if (!entry.first.isEmpty())
            keys << entry.first;
    }
    return keys;
}

void Layer::removeAnimationForKey(const QString &key)
{
    for (auto it = m_animations.begin(); it != m_animations.end(); ++it) {
        if (it->first == key) {
            const AnimationPtr removed = it->second;
            m_animations.erase(it);
            contentChanged();
            setNeedsRepaint();
            stopAnimation(removed, false, nullptr);
            return;
        }
    }
}

void Layer::removeAllAnimations()
{
    auto removed = std::move(m_animations);
    m_animations.clear();
    contentChanged();
    setNeedsRepaint();
    for (const auto &entry : removed)
        stopAnimation(entry.second, false, nullptr);
}

void Layer::stopAnimation(const AnimationPtr &animation, bool finished, TickResult *deferred)
{
    if (animation->m_stopped)
        return;
    animation->m_stopped = true;
    // What the layer shows now settles on the animation's end (or its model value).
    contentChanged();
    auto groups = std::move(animation->m_groups);
    animation->m_groups.clear();
    // The delegate hears first, then the transactions that waited for the animation.
    auto notify = [animation, finished, groups = std::move(groups)] {
        if (auto delegate = animation->delegate())
            delegate->animationDidStop(*animation, finished);
        for (const auto &group : groups)
            group->releaseAnimation();
    };
    if (deferred)
        deferred->notifications.push_back(std::move(notify));
    else
        notify();
}

void Layer::attachToClock(LayerClock &clock, double now)
{
    bool pending = false;
    for (const auto &entry : m_animations) {
        if (!entry.second->m_start)
            entry.second->m_start = now + entry.second->m_beginTime;
        pending = pending || !entry.second->m_stopped;
    }
    if (pending)
        clock.track(shared_from_this());
    for (const LayerPtr &sublayer : m_sublayers)
        sublayer->attachToClock(clock, now);
}

void Layer::rebaseAnimations(double delta)
{
    for (const auto &entry : m_animations) {
        if (entry.second->m_start)
            *entry.second->m_start += delta;
    }
    for (const LayerPtr &sublayer : m_sublayers)
        sublayer->rebaseAnimations(delta);
}

bool Layer::advanceAnimations(double time, TickResult &result)
{
    std::optional<bool> visible;
    auto isVisible = [&] {
        if (!visible)
            visible = isEffectivelyVisible();
        return *visible;
    };
    bool running = false;
    const auto snapshot = m_animations;
    for (const auto &[key, animation] : snapshot) {
        if (animation->m_stopped || !animation->m_start)
            continue;
        const double start = *animation->m_start;
        if (!animation->m_started && time >= start) {
            animation->m_started = true;
            if (auto delegate = animation->delegate())
                result.notifications.push_back(
                    [delegate, animation] { delegate->animationDidStart(*animation); });
        }
        const std::optional<double> end = animation->endTime();
        if (end && time >= *end) {
            if (animation->m_removedOnCompletion) {
                m_animations.erase(std::remove_if(m_animations.begin(), m_animations.end(),
                                                  [&](const auto &e) { return e.second == animation; }),
                                   m_animations.end());
            }
            stopAnimation(animation, true, &result);
            result.repaint = result.repaint || isVisible();
            continue;
        }
        running = true;
        if (isVisible() && time >= start) {
            result.needsFrames = true;
            result.repaint = true;
        } else {
            const double wake = isVisible() ? start : end.value_or(-1);
            if (wake >= 0)
                result.deadline = result.deadline ? std::min(*result.deadline, wake) : wake;
        }
    }
    return running;
}

LayerPtr Layer::makeModelCopy() const
{
    auto copy = std::make_shared<Layer>();
    copy->copyModelValuesFrom(*this);
    return copy;
}

void Layer::copyModelValuesFrom(const Layer &other)
{
    other.propertyTable().copyAll(other, *this);
    m_actions = other.m_actions;
}

QVariant Layer::presentationValue(const QString &key, double time) const
{
    QVariant value = valueForKey(key);
    for (const auto &entry : m_animations) {
        if (entry.second->keyPath() != key)
            continue;
        if (auto sampled = entry.second->sample(time, value))
            value = *sampled;
    }
    return value;
}

LayerPtr Layer::presentationAt(double time) const
{
    LayerPtr copy = makeModelCopy();
    QStringList done;
    for (const auto &entry : m_animations) {
        const QString key = entry.second->keyPath();
        if (done.contains(key))
            continue;
        done << key;
        const QVariant value = presentationValue(key, time);
        if (value.isValid())
            copy->storeValue(key, value);
    }
    return copy;
}

LayerPtr Layer::presentationLayer() const
{
    if (LayerClock *c = clock())
        return presentationAt(c->now());
    return makeModelCopy();
}

const Layer &Layer::rootLayer() const
{
    const Layer *layer = this;
    while (layer->m_superlayer)
        layer = layer->m_superlayer;
    return *layer;
}

LayerHost *Layer::paintingHost() const
{
    return rootLayer().m_host;
}

LayerClock *Layer::clock() const
{
    LayerHost *host = paintingHost();
    return host ? &host->clock() : nullptr;
}

bool Layer::isEffectivelyVisible() const
{
    const Layer *layer = this;
    for (; layer; layer = layer->m_superlayer) {
        if (layer->m_hidden)
            return false;
        if (!layer->m_superlayer)
            break;
    }
    return layer && layer->m_host && layer->m_host->isOnScreen();
}

void Layer::setNeedsRepaint() const
{
    if (LayerHost *host = paintingHost())
        host->requestRepaint();
}

void Layer::markPresented()
{
    m_presented = true;
    for (const LayerPtr &sublayer : m_sublayers)
        sublayer->markPresented();
}

void Layer::drawContents(QPainter &) const {}

void Layer::render(QPainter &painter, double time)
{
    if (m_hidden) {
        markPresented();
        return;
    }
    m_presented = true;
    LayerPtr presentation = m_animations.empty() ? nullptr : presentationAt(time);
    const Layer &values = presentation ? *presentation : *this;
    if (values.m_opacity <= 0.0) {
        markPresented();
        return;
    }

    painter.save();
    painter.setTransform(toSuperlayer(values), true);
    painter.setOpacity(painter.opacity() * std::min(1.0, values.m_opacity));
    if (values.m_shadowOpacity > 0 && values.m_shadowColor.isValid() && values.m_shadowColor.alpha() > 0)
        paintShadow(painter, values, time);
    if (!m_shouldRasterize || !paintRasterized(painter, values, time))
        paintBody(painter, values, time);
    painter.restore();
}

void Layer::setShouldRasterize(bool rasterize)
{
    if (m_shouldRasterize == rasterize)
        return;
    m_shouldRasterize = rasterize;
    if (!rasterize)
        m_raster.reset();
    setNeedsRepaint();
}

QRectF Layer::paintedBounds() const
{
    QRectF area = m_bounds;
    for (const LayerPtr &sublayer : m_sublayers)
        if (!sublayer->m_hidden)
            area |= sublayer->toSuperlayer(*sublayer).mapRect(sublayer->paintedBounds());
    return area;
}

void Layer::contentChanged()
{
    for (Layer *layer = this; layer; layer = layer->m_superlayer)
        ++layer->m_contentVersion;
}

bool Layer::isAnimating() const
{
    // An animation kept after its end shows one value for ever; only one still running changes the picture.
    if (std::any_of(m_animations.begin(), m_animations.end(),
                    [](const auto &entry) { return !entry.second->m_stopped; }))
        return true;
    return std::any_of(m_sublayers.begin(), m_sublayers.end(), [](const LayerPtr &sublayer) {
        return !sublayer->m_hidden && sublayer->isAnimating();
    });
}

bool Layer::paintRasterized(QPainter &painter, const Layer &values, double time)
{
    // The kept image gives the same pixels only where it is copied one to one onto the device's pixels: no
    // rotation or scaling beyond the screen's density (the flip of the y axis is fine), no translucency of
    // the whole, nothing moving inside.
    const QTransform device = painter.deviceTransform();
    const double scale = std::abs(device.m11());
    if (isAnimating() || device.type() > QTransform::TxScale || scale <= 0 ||
        std::abs(device.m22()) != scale || painter.opacity() < 1.0 || values.m_masksToBounds ||
        !painter.device())
        return false;
    const QRectF area = paintedBounds();
    if (area.isEmpty())
        return true;
    // The layer's origin on the device, split into whole pixels and the fraction the drawing depends on.
    const QTransform linear(device.m11(), 0, 0, device.m22(), 0, 0);
    const QPointF origin(device.dx(), device.dy());
    const QPointF whole(std::floor(origin.x()), std::floor(origin.y()));
    const QPointF fraction = origin - whole;
    const QRect pixels = linear.mapRect(area).translated(fraction).toAlignedRect().adjusted(-1, -1, 1, 1);
    if (!m_raster)
        m_raster = std::make_unique<Raster>();
    Raster &raster = *m_raster;
    if (!raster.valid || raster.version != m_contentVersion || raster.linear != linear ||
        raster.fraction != fraction || raster.area != area) {
        raster.image = QImage(pixels.size(), QImage::Format_ARGB32_Premultiplied);
        raster.image.fill(Qt::transparent);
        QPainter offscreen(&raster.image);
        offscreen.setRenderHints(painter.renderHints());
        offscreen.setTransform(
            linear * QTransform::fromTranslate(fraction.x() - pixels.x(), fraction.y() - pixels.y()));
        paintBody(offscreen, values, time);
        offscreen.end();
        raster.version = m_contentVersion;
        raster.linear = linear;
        raster.fraction = fraction;
        raster.area = area;
        raster.valid = true;
    }
    painter.save();
    // A world transform that undoes the device's pixel ratio leaves device pixels: the image is copied one
    // to one, through the painter's fastest path.
    const double ratio = painter.device()->devicePixelRatioF();
    painter.setTransform(QTransform::fromScale(1.0 / ratio, 1.0 / ratio));
    // Whole pixels onto whole pixels: smoothing and antialiasing would only send the copy down slower paths.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QPointF(whole.x() + pixels.x(), whole.y() + pixels.y()), raster.image);
    painter.restore();
    return true;
}

void Layer::paintBody(QPainter &painter, const Layer &values, double time)
{
    const QRectF b = values.m_bounds;
    const QPainterPath outline = roundedRectPath(b, values.m_cornerRadius);
    if (values.m_backgroundColor.isValid() && values.m_backgroundColor.alpha() > 0)
        painter.fillPath(outline, values.m_backgroundColor);

    painter.save();
    if (values.m_masksToBounds)
        painter.setClipPath(outline, Qt::IntersectClip);
    values.drawContents(painter);
    for (const LayerPtr &sublayer : m_sublayers)
        sublayer->render(painter, time);
    painter.restore();

    if (values.m_borderWidth > 0 && values.m_borderColor.isValid() && values.m_borderColor.alpha() > 0) {
        const double half = values.m_borderWidth / 2.0;
        QPen pen(values.m_borderColor, values.m_borderWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(roundedRectPath(b.adjusted(half, half, -half, -half),
                                         std::max(0.0, values.m_cornerRadius - half)));
    }
}

// The shadow is the layer's own painting, blurred and tinted, drawn under it at the shadow offset.
void Layer::paintShadow(QPainter &painter, const Layer &values, double time)
{
    const QRectF b = values.m_bounds;
    if (b.isEmpty())
        return;
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int pad = int(std::ceil(values.m_shadowRadius * 2.0)) + 2;
    const QSize size(int(std::ceil((b.width() + 2 * pad) * scale)),
                     int(std::ceil((b.height() + 2 * pad) * scale)));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter shadowPainter(&image);
        shadowPainter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        shadowPainter.scale(scale, scale);
        shadowPainter.translate(pad, pad + b.height());
        shadowPainter.scale(1, -1);
        shadowPainter.translate(-b.x(), -b.y());
        paintBody(shadowPainter, values, time);
    }
    if (values.m_shadowRadius > 0)
        blurAlpha(image, values.m_shadowRadius * scale);
    {
        QPainter tint(&image);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor color = values.m_shadowColor;
        color.setAlphaF(float(color.alphaF() * std::min(1.0, values.m_shadowOpacity)));
        tint.fillRect(image.rect(), color);
    }
    painter.save();
    painter.translate(b.x() + values.m_shadowOffset.width(),
                      b.y() + b.height() + values.m_shadowOffset.height());
    painter.scale(1, -1);
    painter.drawImage(QRectF(-pad, -pad, b.width() + 2 * pad, b.height() + 2 * pad), image);
    painter.restore();
}

} // namespace platform
