#pragma once

#include <QByteArray>

namespace testsupport {

// Puts the build's own programs (the disk utility stand-in among them) first on PATH, as the application does
// at start-up, for as long as it lives.
class ToolsOnPath
{
public:
    ToolsOnPath();
    ~ToolsOnPath();
    ToolsOnPath(const ToolsOnPath &) = delete;
    ToolsOnPath &operator=(const ToolsOnPath &) = delete;

private:
    QByteArray m_saved;
};

} // namespace testsupport
