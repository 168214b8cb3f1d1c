#pragma once

#include "Platform/Layers/KeyframeAnimation.h"
#include "Platform/Layers/LayerHost.h"
#include "Platform/Layers/ShapeLayer.h"

#include <QColor>
#include <QWidget>

// A checkmark drawn stroke by stroke whenever the view goes from hidden to shown. Its hidden flag is the
// widget's own (setHidden, hide, show).
class CheckmarkView : public QWidget
{
    Q_OBJECT

public:
    // frame: in the parent's coordinates.
    explicit CheckmarkView(const QRect &frame, QWidget *parent = nullptr);
    // For layout descriptions: the checkmark is built from the size the widget has when first used.
    explicit CheckmarkView(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    QString animationKey() const { return m_animationKey; }

    const platform::ShapeLayerPtr &shapeLayer();
    platform::LayerHost &host() { return *m_host; }

    void setVisible(bool visible) override;

private:
    void setUp();
    void startAnimation();
    const platform::KeyframeAnimation &animation();

    QColor m_color;
    double m_lineWidth = 2.0;
    platform::ShapeLayerPtr m_shapeLayer;
    std::unique_ptr<platform::KeyframeAnimation> m_animation;
    QString m_animationKey = QStringLiteral("checkmarkAnimation");
    platform::LayerHost *m_host;
};
