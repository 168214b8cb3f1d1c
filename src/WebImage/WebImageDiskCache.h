#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Fetched picture files by key in one folder: a file per key, named by the SHA-256 of the key, holding the
// bytes as fetched behind a header with their length and checksum. Files are replaced atomically, so every
// operation may run on any thread at once; the folder is created on the first store.
class WebImageDiskCache
{
public:
    // budgetBytes: the folder is trimmed to this size after each store, oldest files first.
    // maxAgeSeconds: older files count as absent (and are deleted when read).
    WebImageDiskCache(const QString &folder, qint64 budgetBytes, qint64 maxAgeSeconds);

    const QString &folder() const { return m_folder; }
    qint64 budget() const { return m_budget; }
    qint64 maxAge() const { return m_maxAge; }
    QString pathForKey(const QString &key) const;

    // The stored bytes; nothing when absent. A damaged or expired file is deleted and counts as absent.
    std::optional<QByteArray> read(const QString &key) const;
    // Writes the bytes under the key, then trims the folder to the budget. False when nothing was written.
    bool store(const QString &key, const QByteArray &bytes) const;
    void remove(const QString &key) const;
    // Deletes every cache file in the folder (nothing else in it).
    void clear() const;
    // Bytes taken by the cache files.
    qint64 totalSize() const;

private:
    void trim() const;

    QString m_folder;
    qint64 m_budget;
    qint64 m_maxAge;
};
