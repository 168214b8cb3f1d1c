#pragma once

#include <QString>

namespace platform {

// Where the application's own programs are. An installation keeps the executable in <prefix>/bin and the
// programs it runs (the disk utility stand-in, the privileged helper) in <prefix>/libexec/bootdrive, found
// relative to the executable so that a relocated or unpacked installation works as well. In the build tree
// every program sits in the executable's folder.
class InstallLayout
{
public:
    // The layout around the running executable.
    static InstallLayout current();
    // The layout around an executable in that folder.
    explicit InstallLayout(const QString &executableDirectory);

    const QString &executableDirectory() const { return m_executableDirectory; }
    // Whether the executable sits in an installation (its tool folder holds the disk utility).
    bool isInstalled() const { return m_installed; }
    // The folder of the application's tools: <prefix>/libexec/bootdrive, or the executable's folder.
    const QString &toolDirectory() const { return m_toolDirectory; }
    // The privileged helper in the tool folder.
    QString helperPath() const;
    // The polkit action installed with the helper for the label (<prefix>/share/polkit-1/actions/); empty
    // in the build tree, which installs none.
    QString policyPath(const QString &label) const;
    // Puts the tool folder first on PATH, so "/bin/bash -c diskutil …" finds ours before any other.
    void putToolsFirstOnPath() const;

    static QString helperName() { return QStringLiteral("bootdrive-privileged-exec"); }

private:
    QString m_executableDirectory;
    QString m_toolDirectory;
    QString m_dataDirectory;
    bool m_installed = false;
};

} // namespace platform
