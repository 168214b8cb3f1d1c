#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QWidget>

// The ring's picture painted the plainest way QPainter allows, every frame from scratch: the track circle,
// the fill arc from the top and the percentage, antialiased, with the ring's pens, colour and label font.
// What the ring's own frame costs is judged against this.
class ReferenceRing : public QWidget
{
public:
    // lineWidth as the ring's; the track is half as wide.
    ReferenceRing(const QSize &size, double lineWidth);

    // The fraction of the circle filled and the text in the centre.
    void setPicture(double fraction, const QString &label);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_lineWidth;
    double m_fraction = 0;
    QString m_label;
    QColor m_color;
    QFont m_font;
    QRectF m_labelFrame;
};
