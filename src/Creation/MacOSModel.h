#pragma once

#include "Creation/BaseModel.h"

#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// One macOS installer: either an installer bundle picked on disk or an entry of the service's catalog.
class MacOSModel : public BaseModel
{
public:
    MacOSModel() = default;

    // Reads the bundle at the path (a trailing slash is ignored): display name, version, icon, future volume.
    static std::shared_ptr<MacOSModel> initWithURL(const QString &bundlePath);
    // Maps one decoded catalog entry; fields of the wrong kind stay empty. cellHeight: the height of the
    // entry's info when the caller has measured that text already.
    static std::shared_ptr<MacOSModel> initWithDictionary(const QVariantMap &entry,
                                                          std::optional<double> cellHeight = std::nullopt);

    // Whether the display name is one of the installers whose creation tool this system knows how to run.
    bool installMacOS() const;
    // The bundle's own creation tool.
    QString creationToolPath() const
    {
        return m_path + QStringLiteral("/Contents/Resources/createinstallmedia");
    }
    // Whether the display name is one of the installers a drive can be made of.
    static bool isSupportedName(const QString &name);
    void setInstallMacOS(bool value) { m_installMacOS = value; }
    // Where the installer must lie for its creation tool: type-1 installers inside /Applications, the others
    // outside it (the plain prefix test, as the window applies it).
    enum class Placement
    {
        Acceptable,
        MustLeaveApplications,
        MustBeInApplications,
    };
    Placement placement() const;
    // The extra option the creation tool needs in front of the bundle path ("--applicationpath" for type 1).
    QString installTypeIdentifier() const;
    void setInstallTypeIdentifier(const QString &value) { m_installTypeIdentifier = value; }

    // Height in points that a 10-point system-font text needs within the width, plus 30.
    static double textFieldHeightWithWidth(double width, const QString &content);
    // MD5 of the file as 32 lower-case hex digits, handed to the callback before returning; an unreadable
    // file digests as empty input.
    static void calculateFileMd5WithFilePath(const QString &path,
                                             const std::function<void(const QString &)> &completion);

    const QString &path() const { return m_path; }
    void setPath(const QString &v) { m_path = v; }
    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    const QString &version() const { return m_version; }
    void setVersion(const QString &v) { m_version = v; }
    const QString &imageUrl() const { return m_imageUrl; }
    void setImageUrl(const QString &v) { m_imageUrl = v; }
    const QString &support() const { return m_support; }
    void setSupport(const QString &v) { m_support = v; }
    const QString &volume() const { return m_volume; }
    void setVolume(const QString &v) { m_volume = v; }
    const QString &logoUrl() const { return m_logoUrl; }
    void setLogoUrl(const QString &v) { m_logoUrl = v; }
    const QString &releaseDate() const { return m_releaseDate; }
    void setReleaseDate(const QString &v) { m_releaseDate = v; }
    const QString &downloadUrl() const { return m_downloadUrl; }
    void setDownloadUrl(const QString &v) { m_downloadUrl = v; }
    const QString &info() const { return m_info; }
    void setInfo(const QString &v) { m_info = v; }
    const QImage &logo() const { return m_logo; }
    void setLogo(const QImage &v) { m_logo = v; }
    double cellHeight() const { return m_cellHeight; }
    void setCellHeight(double v) { m_cellHeight = v; }
    int64_t installType() const { return m_installType; }
    void setInstallType(int64_t v) { m_installType = v; }

private:
    QString m_path;
    QString m_name;
    QString m_version;
    QString m_imageUrl;
    QString m_support;
    QString m_volume;
    QString m_installTypeIdentifier;
    QString m_logoUrl;
    QString m_releaseDate;
    QString m_downloadUrl;
    QString m_info;
    bool m_installMacOS = false;
    QImage m_logo;
    double m_cellHeight = 0;
    int64_t m_installType = 0;
};

using MacOSModelPtr = std::shared_ptr<MacOSModel>;
