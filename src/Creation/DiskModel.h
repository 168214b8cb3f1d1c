#pragma once

#include <QImage>
#include <QString>
#include <memory>

// One mounted volume the user can pick: its name, mount path and 20 × 20 icon. A plain value holder: it
// does not follow its volume, except that the creation job rewrites `volume` after erasing it.
class DiskModel
{
public:
    DiskModel() = default;
    // A record for the volume mounted at the path (a trailing slash is ignored).
    static std::shared_ptr<DiskModel> initWithURL(const QString &mountPath);

    // The text without white space and line ends at both ends.
    static QString removeSpaceAndNewline(const QString &text);
    // True only for a disk-utility listing line that begins with "/dev" and says "(external, physical)".
    static bool isExternalWithPath(const QString &text);

    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    const QString &size() const { return m_size; }
    void setSize(const QString &v) { m_size = v; }
    const QString &volume() const { return m_volume; }
    void setVolume(const QString &v) { m_volume = v; }
    const QString &device() const { return m_device; }
    void setDevice(const QString &v) { m_device = v; }
    const QImage &image() const { return m_image; }
    void setImage(const QImage &v) { m_image = v; }

private:
    QString m_name;
    QString m_size;
    QString m_volume;
    QString m_device;
    QImage m_image;
};

using DiskModelPtr = std::shared_ptr<DiskModel>;
