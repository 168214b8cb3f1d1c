#include "WebImage/WebImageMemoryCache.h"

WebImageMemoryCache::WebImageMemoryCache(qint64 budgetBytes) : m_budget(std::max<qint64>(0, budgetBytes)) {}

QImage WebImageMemoryCache::image(const QString &key)
{
    std::lock_guard guard(m_lock);
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return {};
    m_entries.splice(m_entries.begin(), m_entries, *found);
    return m_entries.front().image;
}

void WebImageMemoryCache::insert(const QString &key, const QImage &image)
{
    std::lock_guard guard(m_lock);
    removeLocked(key);
    const qint64 cost = costOf(image);
    if (image.isNull() || cost > m_budget)
        return;
    m_entries.push_front(Entry{key, image, cost});
    m_index.insert(key, m_entries.begin());
    m_totalCost += cost;
    while (m_totalCost > m_budget)
        removeLocked(m_entries.back().key);
}

void WebImageMemoryCache::remove(const QString &key)
{
    std::lock_guard guard(m_lock);
    removeLocked(key);
}

void WebImageMemoryCache::removeLocked(const QString &key)
{
    const auto found = m_index.find(key);
    if (found == m_index.end())
        return;
    m_totalCost -= (*found)->cost;
    m_entries.erase(*found);
    m_index.erase(found);
}

void WebImageMemoryCache::clear()
{
    std::lock_guard guard(m_lock);
    m_entries.clear();
    m_index.clear();
    m_totalCost = 0;
}

bool WebImageMemoryCache::contains(const QString &key) const
{
    std::lock_guard guard(m_lock);
    return m_index.contains(key);
}

int WebImageMemoryCache::count() const
{
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_index.size());
}

qint64 WebImageMemoryCache::totalCost() const
{
    std::lock_guard guard(m_lock);
    return m_totalCost;
}

qint64 WebImageMemoryCache::costOf(const QImage &image)
{
    return static_cast<qint64>(image.sizeInBytes());
}
