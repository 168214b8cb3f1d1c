#include "WebImage/WebImageDiskCache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>

namespace {

// Header: magic, payload length (64-bit big-endian), SHA-256 of the payload.
const QByteArray Magic = QByteArrayLiteral("BDWIMG1\n");
constexpr qsizetype LengthSize = 8;
constexpr qsizetype DigestSize = 32;
constexpr qsizetype HeaderSize = 8 + LengthSize + DigestSize;

QByteArray digest(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// Only our own file names, so that a folder shared with anything else loses nothing else.
bool isCacheFileName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{64}$"));
    return pattern.match(name).hasMatch();
}

QFileInfoList cacheFiles(const QString &folder)
{
    QFileInfoList files;
    const QFileInfoList all = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo &info : all)
        if (isCacheFileName(info.fileName()))
            files.append(info);
    return files;
}

} // namespace

WebImageDiskCache::WebImageDiskCache(const QString &folder, qint64 budgetBytes, qint64 maxAgeSeconds)
    : m_folder(QDir::cleanPath(folder)), m_budget(std::max<qint64>(0, budgetBytes)),
      m_maxAge(std::max<qint64>(0, maxAgeSeconds))
{}

QString WebImageDiskCache::pathForKey(const QString &key) const
{
    return m_folder + QLatin1Char('/') + QString::fromLatin1(digest(key.toUtf8()).toHex());
}

std::optional<QByteArray> WebImageDiskCache::read(const QString &key) const
{
    const QString path = pathForKey(key);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QDateTime written = QFileInfo(file).lastModified();
    const bool expired = written.secsTo(QDateTime::currentDateTimeUtc()) > m_maxAge;
    const QByteArray contents = expired ? QByteArray() : file.readAll();
    file.close();
    if (!expired && contents.size() >= HeaderSize && contents.startsWith(Magic)) {
        const quint64 length = qFromBigEndian<quint64>(contents.constData() + Magic.size());
        const QByteArray payload = contents.mid(HeaderSize);
        if (length == static_cast<quint64>(payload.size()) &&
            digest(payload) == contents.mid(Magic.size() + LengthSize, DigestSize))
            return payload;
    }
    QFile::remove(path);
    return std::nullopt;
}

bool WebImageDiskCache::store(const QString &key, const QByteArray &bytes) const
{
    if (!QDir().mkpath(m_folder))
        return false;
    QByteArray header = Magic;
    header.resize(Magic.size() + LengthSize);
    qToBigEndian<quint64>(static_cast<quint64>(bytes.size()), header.data() + Magic.size());
    header += digest(bytes);

    // Written beside the final name and renamed over it: a reader sees the old file or the new one, whole.
    QSaveFile file(pathForKey(key));
    if (!file.open(QIODevice::WriteOnly) || file.write(header) != header.size() ||
        file.write(bytes) != bytes.size() || !file.commit())
        return false;
    trim();
    return true;
}

void WebImageDiskCache::remove(const QString &key) const
{
    QFile::remove(pathForKey(key));
}

void WebImageDiskCache::clear() const
{
    for (const QFileInfo &info : cacheFiles(m_folder))
        QFile::remove(info.filePath());
}

qint64 WebImageDiskCache::totalSize() const
{
    qint64 total = 0;
    for (const QFileInfo &info : cacheFiles(m_folder))
        total += info.size();
    return total;
}

void WebImageDiskCache::trim() const
{
    QFileInfoList files = cacheFiles(m_folder);
    qint64 total = 0;
    for (const QFileInfo &info : files)
        total += info.size();
    if (total <= m_budget)
        return;
    std::sort(files.begin(), files.end(),
              [](const QFileInfo &a, const QFileInfo &b) { return a.lastModified() < b.lastModified(); });
    for (const QFileInfo &info : files) {
        if (total <= m_budget)
            break;
        if (QFile::remove(info.filePath()))
            total -= info.size();
    }
}
