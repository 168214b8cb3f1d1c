#pragma once

#include <QColor>
#include <QPainterPath>
#include <QVariantAnimation>
#include <QWidget>
#include <optional>

// A checkmark drawn stroke by stroke whenever the view goes from hidden to shown (setHidden, hide, show);
// a view created visible shows the whole mark at once.
class CheckmarkView : public QWidget
{
    Q_OBJECT

public:
    // frame: in the parent's coordinates.
    explicit CheckmarkView(const QRect &frame, QWidget *parent = nullptr);
    // For layout descriptions: the mark is built from the size the widget has when first used.
    explicit CheckmarkView(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);

    // The mark in the view's coordinates: a short stroke down to the low point, then the long one up.
    const QPainterPath &path();
    // How much of the mark is drawn now, 0…1.
    double strokeEnd() const { return isDrawing() ? m_drawing.currentValue().toDouble() : 1.0; }
    bool isDrawing() const { return m_drawing.state() == QAbstractAnimation::Running; }

    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
    double m_lineWidth = 2.0;
    std::optional<QPainterPath> m_path;
    QVariantAnimation m_drawing;
};
