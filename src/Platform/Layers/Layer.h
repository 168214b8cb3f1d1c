#pragma once

#include "Platform/Layers/Animation.h"
#include "Platform/Layers/LayerProperty.h"

#include <QColor>
#include <QHash>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QStringList>
#include <QTransform>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace platform {

class LayerClock;
class LayerHost;
class Layer;

using LayerPtr = std::shared_ptr<Layer>;

// A node of the layer tree: geometry, background, border, shadow and opacity, sublayers, and animations of
// its properties under keys. Coordinates are the platform's: y grows upwards, and the host flips once when
// it paints. Changing an animatable property of a layer that has been on screen animates it implicitly with
// the current transaction's duration and timing, unless actions are disabled or the layer's action table
// maps the key to no action. Main thread only. Always held by shared pointer.
class Layer : public std::enable_shared_from_this<Layer>
{
public:
    // A key mapped to nullptr never animates; a key mapped to an animation uses it as the template of its
    // implicit animation (the from and to values are filled in).
    using ActionTable = QHash<QString, AnimationPtr>;

    // The keys of a layer's own properties, typed by their values.
    struct Keys
    {
        static constexpr LayerKey<QRectF> bounds{"bounds"};
        static constexpr LayerKey<QPointF> position{"position"};
        static constexpr LayerKey<QPointF> anchorPoint{"anchorPoint"};
        static constexpr LayerKey<QTransform> transform{"transform"};
        static constexpr LayerKey<bool> hidden{"hidden"};
        static constexpr LayerKey<double> opacity{"opacity"};
        static constexpr LayerKey<QColor> backgroundColor{"backgroundColor"};
        static constexpr LayerKey<double> cornerRadius{"cornerRadius"};
        static constexpr LayerKey<double> borderWidth{"borderWidth"};
        static constexpr LayerKey<QColor> borderColor{"borderColor"};
        static constexpr LayerKey<bool> masksToBounds{"masksToBounds"};
        static constexpr LayerKey<QColor> shadowColor{"shadowColor"};
        static constexpr LayerKey<double> shadowOpacity{"shadowOpacity"};
        static constexpr LayerKey<double> shadowRadius{"shadowRadius"};
        static constexpr LayerKey<QSizeF> shadowOffset{"shadowOffset"};
        static constexpr LayerKey<double> contentsScale{"contentsScale"};
    };

    Layer();
    virtual ~Layer();
    Layer(const Layer &) = delete;
    Layer &operator=(const Layer &) = delete;

    static LayerPtr create();

    QRectF bounds() const { return m_bounds; }
    void setBounds(const QRectF &bounds);
    QPointF position() const { return m_position; }
    void setPosition(const QPointF &position);
    QPointF anchorPoint() const { return m_anchorPoint; }
    void setAnchorPoint(const QPointF &anchorPoint);
    // The bounds as the superlayer sees them (through the transform).
    QRectF frame() const;
    // Keeps the bounds' origin and the anchor point; ignores the transform, as the platform documents.
    void setFrame(const QRectF &frame);
    QTransform transform() const { return m_transform; }
    void setTransform(const QTransform &transform);
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor &color);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks);
    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor &color);
    double shadowOpacity() const { return m_shadowOpacity; }
    void setShadowOpacity(double opacity);
    double shadowRadius() const { return m_shadowRadius; }
    void setShadowRadius(double radius);
    QSizeF shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(const QSizeF &offset);
    double contentsScale() const { return m_contentsScale; }
    void setContentsScale(double scale);
    ActionTable actions() const { return m_actions; }
    void setActions(const ActionTable &actions) { m_actions = actions; }

    virtual QSizeF preferredFrameSize() const { return m_bounds.size(); }

    // Keeps the layer's painting (with its sublayers) as an image at the screen's pixel density while
    // nothing in it changes or animates, so a still part of a scene costs one copy per frame instead of
    // being drawn again. Used for parts that are expensive to draw, such as a large translucent stroke.
    bool shouldRasterize() const { return m_shouldRasterize; }
    void setShouldRasterize(bool rasterize);
    // What the layer paints, in its own coordinates: its bounds and whatever its content and sublayers
    // draw beyond them.
    virtual QRectF paintedBounds() const;

    Layer *superlayer() const { return m_superlayer; }
    const std::vector<LayerPtr> &sublayers() const { return m_sublayers; }
    void addSublayer(const LayerPtr &layer);
    void insertSublayer(const LayerPtr &layer, std::size_t index);
    void removeFromSuperlayer();

    // The layer keeps a copy; one under the same key is replaced and told it stopped unfinished.
    void addAnimation(const Animation &animation, const QString &key);
    std::shared_ptr<const Animation> animationForKey(const QString &key) const;
    QStringList animationKeys() const;
    void removeAnimationForKey(const QString &key);
    void removeAllAnimations();
    bool hasAnimations() const { return !m_animations.empty(); }

    // Model values by key ("bounds", "position", "opacity", "strokeEnd", …); invalid for unknown keys.
    QVariant valueForKey(const QString &key) const;
    // Like the typed setters, with implicit animation.
    void setValueForKey(const QString &key, const QVariant &value);
    template <class T> void setValue(LayerKey<T> key, const T &value)
    {
        setValueForKey(QString::fromLatin1(key.name), layerValue(value));
    }
    bool isAnimatableKey(const QString &key) const;

    // A detached copy with the values on screen at the time: the model values under the running animations.
    LayerPtr presentationLayer() const;
    LayerPtr presentationAt(double time) const;
    QVariant presentationValue(const QString &key, double time) const;

    // The clock of the host whose tree this layer is in, if any.
    LayerClock *clock() const;
    // The host that paints this tree, if any.
    LayerHost *paintingHost() const;
    bool hasBeenPresented() const { return m_presented; }
    // True when neither the layer nor an ancestor is hidden and the painting host is on screen.
    bool isEffectivelyVisible() const;

    // Paints the layer and its sublayers into the painter's current coordinates (the superlayer's).
    void render(QPainter &painter, double time);

protected:
    // Every property of the layer's class and its bases: each class adds its own in one table.
    virtual const LayerPropertyTable &propertyTable() const;
    static const LayerPropertyTable &layerProperties();
    // A new layer of the same kind with the same model values (no sublayers, no animations).
    virtual LayerPtr makeModelCopy() const;
    void copyModelValuesFrom(const Layer &other);
    // Stores without any action; false for unknown keys.
    bool storeValue(const QString &key, const QVariant &value);
    // Draws the layer's own content in its bounds' coordinates; called on a presentation copy.
    virtual void drawContents(QPainter &painter) const;

    void setNeedsRepaint() const;

private:
    friend class LayerClock;
    friend class LayerHost;

    struct TickResult
    {
        bool needsFrames = false;
        bool repaint = false;
        std::optional<double> deadline;
        std::vector<std::function<void()>> notifications;
    };

    std::optional<QVariant> implicitFromValue(const QString &key) const;
    void runImplicitAction(const QString &key, const QVariant &from);
    void stopAnimation(const AnimationPtr &animation, bool finished, TickResult *deferred);
    void attachToClock(LayerClock &clock, double now);
    void rebaseAnimations(double delta);
    // Completes finished animations and reports what the clock must do next; false once nothing is running.
    bool advanceAnimations(double time, TickResult &result);
    void markPresented();
    const Layer &rootLayer() const;
    QTransform toSuperlayer(const Layer &values) const;
    void paintBody(QPainter &painter, const Layer &values, double time);
    // Paints from the kept image when that gives the same pixels; false when the layer must be drawn.
    bool paintRasterized(QPainter &painter, const Layer &values, double time);
    bool isAnimating() const;
    // Something this layer or a sublayer shows has changed.
    void contentChanged();
    void paintShadow(QPainter &painter, const Layer &values, double time);

    QRectF m_bounds;
    QPointF m_position;
    QPointF m_anchorPoint{0.5, 0.5};
    QTransform m_transform;
    bool m_hidden = false;
    double m_opacity = 1.0;
    QColor m_backgroundColor;
    double m_cornerRadius = 0.0;
    double m_borderWidth = 0.0;
    QColor m_borderColor{Qt::black};
    bool m_masksToBounds = false;
    QColor m_shadowColor{Qt::black};
    double m_shadowOpacity = 0.0;
    double m_shadowRadius = 3.0;
    QSizeF m_shadowOffset{0.0, -3.0};
    double m_contentsScale = 1.0;
    ActionTable m_actions;

    Layer *m_superlayer = nullptr;
    std::vector<LayerPtr> m_sublayers;
    std::vector<std::pair<QString, AnimationPtr>> m_animations;
    LayerHost *m_host = nullptr;
    bool m_presented = false;
    bool m_shouldRasterize = false;
    quint64 m_contentVersion = 0;
    struct Raster;
    std::unique_ptr<Raster> m_raster;
};

} // namespace platform
