#include "Platform/Layers/PathTrim.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace platform {

namespace {

constexpr int samplesPerCurve = 24;

struct Segment
{
    bool curve = false;
    bool startsSubpath = false;
    QPointF p0, p1, p2, p3;
    double length = 0.0;
    // Cumulative length at t = i / samplesPerCurve, for the inverse of the arc length along a curve.
    std::array<double, samplesPerCurve + 1> table{};
};

QPointF cubicPoint(const Segment &s, double t)
{
    const double u = 1.0 - t;
    return u * u * u * s.p0 + 3 * u * u * t * s.p1 + 3 * u * t * t * s.p2 + t * t * t * s.p3;
}

double distance(QPointF a, QPointF b)
{
    return std::hypot(b.x() - a.x(), b.y() - a.y());
}

std::vector<Segment> segmentsOf(const QPainterPath &path)
{
    std::vector<Segment> segments;
    QPointF current;
    bool newSubpath = true;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            current = e;
            newSubpath = true;
            continue;
        }
        Segment s;
        s.startsSubpath = newSubpath;
        newSubpath = false;
        s.p0 = current;
        if (e.isLineTo()) {
            s.p3 = e;
            s.length = distance(s.p0, s.p3);
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            s.curve = true;
            s.p1 = e;
            s.p2 = path.elementAt(i + 1);
            s.p3 = path.elementAt(i + 2);
            i += 2;
            QPointF previous = s.p0;
            for (int k = 1; k <= samplesPerCurve; ++k) {
                const QPointF point = cubicPoint(s, double(k) / samplesPerCurve);
                s.table[k] = s.table[k - 1] + distance(previous, point);
                previous = point;
            }
            s.length = s.table[samplesPerCurve];
        } else {
            continue;
        }
        current = s.p3;
        segments.push_back(s);
    }
    return segments;
}

// Curve parameter at a distance along the segment.
double parameterAt(const Segment &s, double distanceAlong)
{
    if (s.length <= 0)
        return 0.0;
    if (!s.curve)
        return std::clamp(distanceAlong / s.length, 0.0, 1.0);
    const auto it = std::lower_bound(s.table.begin(), s.table.end(), distanceAlong);
    if (it == s.table.begin())
        return 0.0;
    if (it == s.table.end())
        return 1.0;
    const auto k = std::distance(s.table.begin(), it);
    const double before = s.table[k - 1];
    const double span = s.table[k] - before;
    const double within = span > 0 ? (distanceAlong - before) / span : 0.0;
    return (double(k - 1) + within) / samplesPerCurve;
}

// The cubic between parameters t0 and t1, by two de Casteljau splits.
std::array<QPointF, 4> subCurve(const Segment &s, double t0, double t1)
{
    auto splitLeft = [](std::array<QPointF, 4> c, double t) {
        const QPointF a = c[0] + (c[1] - c[0]) * t;
        const QPointF b = c[1] + (c[2] - c[1]) * t;
        const QPointF d = c[2] + (c[3] - c[2]) * t;
        const QPointF ab = a + (b - a) * t;
        const QPointF bd = b + (d - b) * t;
        return std::array<QPointF, 4>{c[0], a, ab, ab + (bd - ab) * t};
    };
    auto splitRight = [](std::array<QPointF, 4> c, double t) {
        const QPointF a = c[0] + (c[1] - c[0]) * t;
        const QPointF b = c[1] + (c[2] - c[1]) * t;
        const QPointF d = c[2] + (c[3] - c[2]) * t;
        const QPointF ab = a + (b - a) * t;
        const QPointF bd = b + (d - b) * t;
        return std::array<QPointF, 4>{ab + (bd - ab) * t, bd, d, c[3]};
    };
    std::array<QPointF, 4> curve{s.p0, s.p1, s.p2, s.p3};
    curve = splitLeft(curve, t1);
    if (t1 > 0)
        curve = splitRight(curve, t0 / t1);
    return curve;
}

} // namespace

double PathTrim::length(const QPainterPath &path)
{
    double total = 0.0;
    for (const Segment &s : segmentsOf(path))
        total += s.length;
    return total;
}

QPainterPath PathTrim::trimmed(const QPainterPath &path, double start, double end)
{
    start = std::clamp(start, 0.0, 1.0);
    end = std::clamp(end, 0.0, 1.0);
    if (end <= start)
        return {};
    if (start <= 0.0 && end >= 1.0)
        return path;

    const std::vector<Segment> segments = segmentsOf(path);
    double total = 0.0;
    for (const Segment &s : segments)
        total += s.length;
    if (total <= 0)
        return {};

    const double from = start * total;
    const double to = end * total;
    QPainterPath result;
    double offset = 0.0;
    bool drawing = false;
    for (const Segment &s : segments) {
        const double segStart = offset;
        const double segEnd = offset + s.length;
        offset = segEnd;
        if (s.startsSubpath)
            drawing = false;
        if (segEnd < from || segStart > to || s.length <= 0)
            continue;
        const double t0 = parameterAt(s, std::max(from, segStart) - segStart);
        const double t1 = parameterAt(s, std::min(to, segEnd) - segStart);
        if (s.curve) {
            const auto c = subCurve(s, t0, t1);
            if (!drawing)
                result.moveTo(c[0]);
            result.cubicTo(c[1], c[2], c[3]);
        } else {
            const QPointF a = s.p0 + (s.p3 - s.p0) * t0;
            const QPointF b = s.p0 + (s.p3 - s.p0) * t1;
            if (!drawing)
                result.moveTo(a);
            result.lineTo(b);
        }
        drawing = true;
    }
    return result;
}

} // namespace platform
