#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// An installer bundle made by scripts/make-sample-installer in a temporary folder: Info.plist with the
// display name and version, our own .icns icon, the creation tool under Contents/Resources and a payload of
// real data (about `size` in all, e.g. "32M") under Contents/SharedSupport. Deleted with the fixture.
class SampleInstaller
{
public:
    explicit SampleInstaller(const QString &name = QStringLiteral("Install macOS Mojave"),
                             const QString &version = QStringLiteral("10.14"),
                             const QString &size = QStringLiteral("8M"));

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString name() const { return m_name; }
    QString path() const { return m_path; } // …/<name>.app
    QString toolPath() const { return m_path + QStringLiteral("/Contents/Resources/createinstallmedia"); }
    QString folder() const { return m_dir.path(); }

    // The build folder whose bin/ holds the tools: BOOTDRIVE_BUILD_DIR, else the folder above this program's.
    static QString buildDirectory();
    static QString scriptPath();

private:
    QTemporaryDir m_dir;
    QString m_name;
    QString m_path;
    QString m_error;
};

} // namespace testsupport
