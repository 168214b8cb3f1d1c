#pragma once

#include <QEasingCurve>
#include <QVariantAnimation>
#include <QWidget>

// The ring that shows a fraction: a full circle from the top, clockwise, stroked with round ends up to the
// progress value. A part of the view that paints it; its changes repaint that view.
class ProgressCircleShapeLayer
{
public:
    ProgressCircleShapeLayer(double radius, const QPointF &center, QWidget *view);

    // The value the ring shows once a move has ended.
    double progress() const { return m_progress; }
    // The value on screen now.
    double shownProgress() const;
    // Without a duration the ring shows the value at once; with one it moves there from the value shown,
    // along the curve, unless it is there or on the way already.
    void setProgress(double progress, int durationMs = 0, const QEasingCurve &curve = QEasingCurve());
    // Empties the ring at once, also while it moves.
    void resetProgress() { setProgress(0.0); }

    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width)
    {
        m_lineWidth = width;
        m_view->update();
    }
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden)
    {
        m_hidden = hidden;
        m_view->update();
    }

    void paint(QPainter &painter, const QColor &color) const;

private:
    QWidget *m_view;
    double m_radius;
    QPointF m_center;
    double m_progress = 0.0;
    double m_lineWidth = 1.0;
    bool m_hidden = false;
    QVariantAnimation m_move;
};
