#pragma once

#include <QPainterPath>

namespace platform {

// The part of a path between two fractions of its length, as a shape layer strokes it between its stroke
// start and stroke end. Curves stay curves (split, not flattened), so a partial ring is as smooth as a whole.
class PathTrim
{
public:
    static QPainterPath trimmed(const QPainterPath &path, double start, double end);
    static double length(const QPainterPath &path);
};

} // namespace platform
