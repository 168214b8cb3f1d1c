#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

namespace testsupport {

// A finished drive as a run leaves it, made the way the tests need it: the installer copied onto the volume
// with `cp -a`, and the record of what a verification compared written to `.BootDrive/record`.
class RecordedDrive
{
public:
    // Copies the installer bundle onto the mounted volume and writes the record; the error, empty when done.
    static QString make(const QString &installer, const QString &version, const QString &volume);
    static QString recordPath(const QString &volume);
    // The record's text as it is on the drive, and a text written in its place (its folder made as needed).
    static std::string recordText(const QString &volume);
    static bool writeRecord(const QString &volume, const std::string &text);
    // The text with its last line made the right hash again, as an edit that knows the format would.
    static std::string resealed(std::string text);
    // A sparse file of `bytes` at the path below the volume, added to its record: reading it back takes long
    // enough to stop a check in the middle. Its folder must be recorded already.
    static bool addSparseFile(const QString &volume, const QString &path, uint64_t bytes);
    // Every item below the folder with its size, mode and modification time, to show that nothing was
    // changed; with `allTimes`, its access and change times too.
    static QStringList listing(const QString &folder, bool allTimes = false);
};

} // namespace testsupport
