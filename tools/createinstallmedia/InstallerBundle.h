#pragma once

#include <string>

// The installer application bundle: its folder and what its Contents/Info.plist (XML or binary) says.
class InstallerBundle
{
public:
    // The bundle holding a tool at …/X.app/Contents/Resources/<tool>, or empty.
    static std::string containing(const std::string &toolPath);
    bool load(const std::string &path, std::string &error);

    const std::string &path() const { return m_path; } // trailing slashes removed
    std::string folderName() const;
    const std::string &displayName() const { return m_displayName; }
    const std::string &version() const { return m_version; }
    // The icon file under Contents/Resources, empty when the bundle names none that exists.
    const std::string &iconPath() const { return m_iconPath; }

private:
    std::string m_path;
    std::string m_displayName;
    std::string m_version;
    std::string m_iconPath;
};
