#include "Platform/Layers/LayerValues.h"

#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

namespace platform::LayerValues {

namespace {

double mix(double a, double b, double t)
{
    return a + (b - a) * t;
}

QColor mixColors(QColor a, QColor b, double t)
{
    if (!a.isValid() && !b.isValid())
        return {};
    if (!a.isValid()) {
        a = b;
        a.setAlphaF(0);
    }
    if (!b.isValid()) {
        b = a;
        b.setAlphaF(0);
    }
    const QColor ra = a.toRgb();
    const QColor rb = b.toRgb();
    return QColor::fromRgbF(float(mix(ra.redF(), rb.redF(), t)), float(mix(ra.greenF(), rb.greenF(), t)),
                            float(mix(ra.blueF(), rb.blueF(), t)), float(mix(ra.alphaF(), rb.alphaF(), t)));
}

QTransform mixTransforms(const QTransform &a, const QTransform &b, double t)
{
    return QTransform(mix(a.m11(), b.m11(), t), mix(a.m12(), b.m12(), t), mix(a.m13(), b.m13(), t),
                      mix(a.m21(), b.m21(), t), mix(a.m22(), b.m22(), t), mix(a.m23(), b.m23(), t),
                      mix(a.m31(), b.m31(), t), mix(a.m32(), b.m32(), t), mix(a.m33(), b.m33(), t));
}

bool samePathShape(const QPainterPath &a, const QPainterPath &b)
{
    if (a.elementCount() != b.elementCount())
        return false;
    for (int i = 0; i < a.elementCount(); ++i) {
        if (a.elementAt(i).type != b.elementAt(i).type)
            return false;
    }
    return true;
}

} // namespace

bool isNumeric(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

QVariant interpolate(const QVariant &from, const QVariant &to, double t)
{
    if (isNumeric(from) && isNumeric(to))
        return mix(from.toDouble(), to.toDouble(), t);

    const int type = from.isValid() ? from.typeId() : to.typeId();
    if (from.isValid() && to.isValid() && from.typeId() != to.typeId())
        return t < 1.0 ? from : to;

    switch (type) {
    case QMetaType::QPointF: {
        const QPointF a = from.toPointF();
        const QPointF b = to.toPointF();
        return QPointF(mix(a.x(), b.x(), t), mix(a.y(), b.y(), t));
    }
    case QMetaType::QSizeF: {
        const QSizeF a = from.toSizeF();
        const QSizeF b = to.toSizeF();
        return QSizeF(mix(a.width(), b.width(), t), mix(a.height(), b.height(), t));
    }
    case QMetaType::QRectF: {
        const QRectF a = from.toRectF();
        const QRectF b = to.toRectF();
        return QRectF(mix(a.x(), b.x(), t), mix(a.y(), b.y(), t), mix(a.width(), b.width(), t),
                      mix(a.height(), b.height(), t));
    }
    case QMetaType::QColor:
        return mixColors(from.value<QColor>(), to.value<QColor>(), t);
    case QMetaType::QTransform:
        return QVariant::fromValue(mixTransforms(from.value<QTransform>(), to.value<QTransform>(), t));
    default:
        break;
    }
    if (type == qMetaTypeId<QPainterPath>()) {
        const QPainterPath a = from.value<QPainterPath>();
        const QPainterPath b = to.value<QPainterPath>();
        if (!samePathShape(a, b))
            return t < 1.0 ? from : to;
        QPainterPath result = a;
        for (int i = 0; i < a.elementCount(); ++i) {
            const auto ea = a.elementAt(i);
            const auto eb = b.elementAt(i);
            result.setElementPositionAt(i, mix(ea.x, eb.x, t), mix(ea.y, eb.y, t));
        }
        return QVariant::fromValue(result);
    }
    return t < 1.0 ? from : to;
}

} // namespace platform::LayerValues
