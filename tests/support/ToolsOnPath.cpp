#include "support/ToolsOnPath.h"

#include "support/SampleInstaller.h"

#include <QFile>

namespace testsupport {

ToolsOnPath::ToolsOnPath() : m_saved(qgetenv("PATH"))
{
    qputenv("PATH",
            QFile::encodeName(SampleInstaller::buildDirectory() + QStringLiteral("/bin")) + ':' + m_saved);
}

ToolsOnPath::~ToolsOnPath()
{
    qputenv("PATH", m_saved);
}

} // namespace testsupport
