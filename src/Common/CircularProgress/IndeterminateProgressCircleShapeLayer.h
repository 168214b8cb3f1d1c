#pragma once

#include <QVariantAnimation>
#include <QWidget>

// The quarter arc that spins while the progress is unknown: from the bottom to the right-hand side of the
// circle, turned about its centre by the spinner's rotation. A part of the view that paints it.
class IndeterminateProgressCircleShapeLayer
{
public:
    IndeterminateProgressCircleShapeLayer(double radius, const QPointF &center, QWidget *view);

    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width)
    {
        m_lineWidth = width;
        m_view->update();
    }
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);

    // The endless turn, added once. It runs only while the arc can be seen (shown, and its view on screen),
    // else it waits where it stands.
    void addRotation();
    bool hasRotation() const { return m_rotation.state() != QAbstractAnimation::Stopped; }
    bool isTurning() const { return m_rotation.state() == QAbstractAnimation::Running; }
    // Degrees clockwise on screen.
    double rotation() const { return m_rotation.currentValue().toDouble(); }
    void setOnScreen(bool onScreen);

    void paint(QPainter &painter, const QColor &color) const;

private:
    void updateTurning();

    QWidget *m_view;
    double m_radius;
    QPointF m_center;
    double m_lineWidth = 1.0;
    bool m_hidden = false;
    bool m_onScreen = false;
    QVariantAnimation m_rotation;
};
