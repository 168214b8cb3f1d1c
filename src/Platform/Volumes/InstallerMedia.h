#pragma once

#include <QByteArray>

namespace platform {

// What marks a volume as finished installer media: the creation tool writes the marker last, once
// everything else is on the drive, and the volume's icon just before. A drive a run could not finish must
// not carry either, or it would look like one that works.
class InstallerMedia
{
public:
    static constexpr const char *MarkerName = ".IAPhysicalMedia";
    static constexpr const char *IconName = ".VolumeIcon.icns";

    // Whether the marker is a regular file at the top of the volume mounted there.
    static bool isFinished(const QByteArray &mountPoint);
    // Removes the marker and the icon from the top of the volume; true when neither is left.
    static bool markUnfinished(const QByteArray &mountPoint);
};

} // namespace platform
