#pragma once

#include "Platform/Net/TransferLimits.h"
#include "WebImage/WebImageOperation.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class WebImageMemoryCache;
class WebImageDiskCache;

// Pictures by address: from the memory cache, else from the disk cache, else fetched over HTTP(S). One
// load per address runs at a time; callers asking for an address already on its way join that load. Reading
// and decoding happen on worker threads. The API is for the main thread, and completions run there.
class WebImageManager
{
public:
    enum class Source
    {
        None, // the picture could not be had
        Memory,
        Disk,
        Network,
    };
    // A null image means failure (a bad address, a transfer error, a status outside 200-299, a body that is
    // not a picture).
    using Completion = std::function<void(const QImage &image, Source source)>;

    static constexpr qint64 DefaultMemoryBudget = 32LL * 1024 * 1024;
    static constexpr qint64 DefaultDiskBudget = 100LL * 1024 * 1024;
    static constexpr qint64 DefaultDiskMaxAge = 7LL * 24 * 60 * 60;

    explicit WebImageManager(const QString &diskFolder, qint64 memoryBudget = DefaultMemoryBudget,
                             qint64 diskBudget = DefaultDiskBudget,
                             qint64 diskMaxAgeSeconds = DefaultDiskMaxAge,
                             const platform::TransferLimits &limits = platform::TransferLimits::image());
    // Loads still running are abandoned: their completions never run.
    ~WebImageManager();
    WebImageManager(const WebImageManager &) = delete;
    WebImageManager &operator=(const WebImageManager &) = delete;

    // The process-wide manager, made on first use (from any thread), caching under defaultDiskFolder().
    static WebImageManager &shared();
    // "WebImage" in the application's cache folder.
    static QString defaultDiskFolder();
    // The address as the caches know it: fully encoded, without fragment. Empty for anything that is not an
    // absolute http or https address with a host.
    static QString cacheKeyForURL(const QUrl &url);

    // A memory hit completes before this returns. Everything else completes later, through the main queue,
    // unless the returned operation is cancelled first. The picture comes at its own size.
    WebImageOperationPtr loadImage(const QUrl &url, Completion completion);
    // The same, decoded to fit within bounds (pixels, keeping its aspect ratio, never enlarged) and marked
    // with the device pixel ratio it is meant for. Pictures that claim more than TransferLimits::MaxImageSide
    // pixels either way are refused whatever the bounds.
    WebImageOperationPtr loadImage(const QUrl &url, const QSize &bounds, qreal devicePixelRatio,
                                   Completion completion);

    WebImageMemoryCache &memoryCache();
    const WebImageDiskCache &diskCache() const;

private:
    struct Load;
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};
