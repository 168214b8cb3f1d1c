#pragma once

#include "Platform/Net/TransferLimits.h"

#include <QCache>
#include <QImage>
#include <QString>
#include <QUrl>
#include <memory>

class QLabel;

// Pictures by address in image views (labels): the placeholder at once, then the picture, decoded for the
// view's size and screen density. From memory (a QCache of decoded pictures), else from disk (the bytes as
// fetched, in a QNetworkDiskCache used as a plain store), else fetched over http or https within
// TransferLimits::image(). Views asking for one address at one size share one load. Main thread only; disk
// reads and writes run on a worker of their own, decoding on two.
class WebImageLoader
{
public:
    static constexpr qint64 DefaultMemoryBudget = 32LL * 1024 * 1024;
    static constexpr qint64 DiskBudget = 100LL * 1024 * 1024;
    static constexpr qint64 DiskMaxAgeSeconds = 7LL * 24 * 60 * 60;

    explicit WebImageLoader(const QString &diskFolder, qint64 memoryBudget = DefaultMemoryBudget,
                            const platform::TransferLimits &limits = platform::TransferLimits::image());
    // Loads still running are abandoned: nothing they find reaches a view.
    ~WebImageLoader();
    WebImageLoader(const WebImageLoader &) = delete;
    WebImageLoader &operator=(const WebImageLoader &) = delete;

    // The process-wide loader, made on first use, caching under defaultDiskFolder(); never destroyed,
    // because transfers may still run while the process exits.
    static WebImageLoader &shared();
    // "WebImage" in the application's cache folder.
    static QString defaultDiskFolder();
    // The address as the caches know it: fully encoded, without fragment. Empty for anything that is not an
    // absolute http or https address with a host.
    static QString cacheKeyForURL(const QUrl &url);

    // Shows the placeholder at once (a null placeholder clears the view), then the picture at the address
    // when it arrives, decoded to fit the view's current size at its screen's pixel ratio (a view without a
    // size gets the picture's own size). A picture in memory is shown before this returns. A later call on
    // the same view supersedes this one; if the picture cannot be had, the placeholder stays.
    void setImageWithURL(QLabel *view, const QUrl &url, const QImage &placeholder);

    // Decoded pictures by address, size and ratio; the cost is their bytes.
    const QCache<QString, QImage> &memoryCache() const;
    const QString &diskFolder() const;
    // Loads that have not ended yet (waiting for the disk, the network or decoding).
    int loadsUnderWay() const;

private:
    struct Load;
    struct State;
    std::unique_ptr<State> m_state;
};
