#include "Creation/MacOSModel.h"

#include "Common/SafeMerge.h"
#include "Platform/Posix/RegularFile.h"
#include "Platform/Values/PropertyList.h"
#include "Platform/Volumes/IconProvider.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <cerrno>
#include <unistd.h>

namespace {

QString text(const QVariantMap &dictionary, const QString &key)
{
    return SafeMerge::safe_stringForKey(dictionary, key).value_or(QString());
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

std::shared_ptr<MacOSModel> MacOSModel::initWithURL(const QString &bundlePath)
{
    auto model = std::make_shared<MacOSModel>();
    model->m_path = withoutTrailingSlash(bundlePath);
    model->m_logo = platform::IconProvider::effectiveIcon(model->m_path);
    const QVariantMap info =
        platform::PropertyList::readDictionary(QStringLiteral("%1/Contents/Info.plist").arg(model->m_path));
    model->m_version = text(info, QStringLiteral("DTPlatformVersion"));
    model->m_name = text(info, QStringLiteral("CFBundleDisplayName"));
    model->m_volume = QStringLiteral("/Volumes/%1").arg(model->m_name);
    if (model->m_name == QLatin1String("Install macOS Sierra") ||
        model->m_name == QLatin1String("Install OS X El Capitan"))
        model->m_installType = 1;
    model->m_cellHeight = textFieldHeightWithWidth(301, model->m_info);
    return model;
}

std::shared_ptr<MacOSModel> MacOSModel::initWithDictionary(const QVariantMap &entry,
                                                           std::optional<double> cellHeight)
{
    auto model = std::make_shared<MacOSModel>();
    model->m_name = text(entry, QStringLiteral("name"));
    model->m_version = text(entry, QStringLiteral("version"));
    model->m_logoUrl = text(entry, QStringLiteral("logo_url"));
    model->m_downloadUrl = text(entry, QStringLiteral("download_url"));
    model->m_releaseDate = text(entry, QStringLiteral("release_date"));
    model->m_info = text(entry, QStringLiteral("info"));
    model->m_cellHeight = cellHeight ? *cellHeight : textFieldHeightWithWidth(301, model->m_info);
    return model;
}

bool MacOSModel::isSupportedName(const QString &name)
{
    static const QStringList accepted = {
        QStringLiteral("Install macOS Catalina"),    QStringLiteral("Install macOS Mojave"),
        QStringLiteral("Install macOS High Sierra"), QStringLiteral("Install macOS Sierra"),
        QStringLiteral("Install OS X El Capitan"),
    };
    return accepted.contains(name, Qt::CaseSensitive);
}

bool MacOSModel::installMacOS() const
{
    return isSupportedName(m_name);
}

MacOSModel::Placement MacOSModel::placement() const
{
    const bool inApplications = m_path.startsWith(QLatin1String("/Applications"));
    if (m_installType == 0 && inApplications)
        return Placement::MustLeaveApplications;
    if (m_installType == 1 && !inApplications)
        return Placement::MustBeInApplications;
    return Placement::Acceptable;
}

QString MacOSModel::installTypeIdentifier() const
{
    return m_installType == 1 ? QStringLiteral("--applicationpath") : QString(QLatin1String(""));
}

double MacOSModel::textFieldHeightWithWidth(double width, const QString &content)
{
    // A process without a GUI application (the command line) has no fonts to measure with.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 30;
    // A text field's cell: the 10-point application font, 2 points of padding each side, at most 9999 high;
    // an empty text still takes one line.
    QFont font = QGuiApplication::font();
    font.setPointSizeF(10);
    const QFontMetricsF metrics(font);
    const QRectF bounds(0, 0, std::max(1.0, width - 4), 9999);
    const QRectF used =
        metrics.boundingRect(bounds, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, content);
    return std::min(9999.0, std::max(used.height(), metrics.height())) + 30;
}

void MacOSModel::calculateFileMd5WithFilePath(const QString &path,
                                              const std::function<void(const QString &)> &completion)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    // A FIFO or a device under that name would block or never end: only a regular file is read.
    const posix::FileDescriptor file = posix::RegularFile::open(QFile::encodeName(path).toStdString());
    if (file) {
        char buffer[256];
        for (;;) {
            const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            hash.addData(QByteArrayView(buffer, n));
        }
    }
    if (completion)
        completion(QString::fromLatin1(hash.result().toHex()));
}
