#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <list>
#include <mutex>

// Decoded pictures by key within a byte budget; the least recently used ones leave first. Thread-safe.
class WebImageMemoryCache
{
public:
    explicit WebImageMemoryCache(qint64 budgetBytes);
    WebImageMemoryCache(const WebImageMemoryCache &) = delete;
    WebImageMemoryCache &operator=(const WebImageMemoryCache &) = delete;

    qint64 budget() const { return m_budget; }
    // The picture under the key, which becomes the most recently used one; a null image when absent.
    QImage image(const QString &key);
    // Keeps the picture as the most recently used one and evicts beyond the budget. A picture larger than the
    // whole budget is not kept (and any older picture under its key goes).
    void insert(const QString &key, const QImage &image);
    void remove(const QString &key);
    void clear();
    bool contains(const QString &key) const;
    int count() const;
    qint64 totalCost() const;

    // Bytes a picture occupies.
    static qint64 costOf(const QImage &image);

private:
    struct Entry
    {
        QString key;
        QImage image;
        qint64 cost;
    };
    void removeLocked(const QString &key);

    const qint64 m_budget;
    mutable std::mutex m_lock;
    std::list<Entry> m_entries; // most recently used first
    QHash<QString, std::list<Entry>::iterator> m_index;
    qint64 m_totalCost = 0;
};
