#include "WebImage/WebImageManager.h"

#include "Platform/Net/HTTPTransfer.h"
#include "Platform/Runtime/Dispatch.h"
#include "Platform/Runtime/StandardPaths.h"
#include "WebImage/WebImageDiskCache.h"
#include "WebImage/WebImageMemoryCache.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QHash>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QPointer>
#include <algorithm>
#include <atomic>
#include <semaphore>
#include <utility>
#include <vector>

namespace {

// Some formats (PNG among them) can only be decoded whole and scaled afterwards, which briefly takes up to
// MaxImageSide² pixels; two at a time bound that, however many views ask at once.
std::counting_semaphore<2> decodeSlots(2);

// Worker threads only: decoding a large picture must not hold up the window. The picture comes out at most
// as large as the bounds (keeping its aspect ratio; empty bounds: its own size), in the format a pixmap
// uses, so a view's pixmap shares the decoded pixels instead of copying them.
QImage decodeImage(const QByteArray &bytes, const QSize &bounds, qreal ratio)
{
    constexpr int maxSide = platform::TransferLimits::MaxImageSide;
    if (bytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(static_cast<int>(qint64(maxSide) * maxSide * 4 / (1024 * 1024)));
    const QSize claimed = reader.size();
    if (claimed.width() > maxSide || claimed.height() > maxSide)
        return {}; // refused on what it claims, before a single pixel is decoded
    if (claimed.isValid() && !bounds.isEmpty()) {
        QSize box = bounds;
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            box.transpose(); // the bounds apply to the picture as shown, after its rotation
        if (claimed.width() > box.width() || claimed.height() > box.height())
            reader.setScaledSize(claimed.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    QImage image;
    {
        decodeSlots.acquire();
        const bool read = reader.read(&image);
        decodeSlots.release();
        if (!read)
            return {};
    }
    if (image.width() > maxSide || image.height() > maxSide)
        return {};
    if (!bounds.isEmpty() && (image.width() > bounds.width() || image.height() > bounds.height()))
        image = image.scaled(bounds, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QImage::Format format =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    image = std::move(image).convertToFormat(format);
    image.setDevicePixelRatio(ratio);
    return image;
}

// A size and density a picture is wanted at; an empty size means the picture's own.
struct Variant
{
    QSize bounds;
    qreal ratio = 1;
    bool operator==(const Variant &other) const { return bounds == other.bounds && ratio == other.ratio; }
};

// The same address at another size or density is another picture in memory.
QString memoryKey(const QString &key, const Variant &variant)
{
    if (variant.bounds.isEmpty() && variant.ratio == 1)
        return key;
    return QStringLiteral("%1 %2x%3@%4")
        .arg(key)
        .arg(variant.bounds.width())
        .arg(variant.bounds.height())
        .arg(variant.ratio);
}

} // namespace

// Everything known about one address on its way in: one fetch serves every size asked for. Only `abandoned`
// is read off the main thread.
struct WebImageManager::Load
{
    struct Waiter
    {
        WebImageOperationPtr operation;
        Completion completion;
        Variant variant;
    };
    QString key;
    QUrl url;
    std::vector<Waiter> waiters;
    QPointer<platform::HTTPTransfer> transfer;
    std::atomic<bool> abandoned{false};
};

// Outlives the manager for as long as background work refers to it; that work holds it only weakly.
struct WebImageManager::Shared : std::enable_shared_from_this<Shared>
{
    Shared(const QString &folder, qint64 memoryBudget, qint64 diskBudget, qint64 diskMaxAge,
           const platform::TransferLimits &limits)
        : memory(memoryBudget),
          disk(std::make_shared<const WebImageDiskCache>(folder, diskBudget, diskMaxAge)),
          network(new QNetworkAccessManager), limits(limits)
    {
        // Replies live on the manager's thread, which must be the GUI thread.
        if (QCoreApplication *app = QCoreApplication::instance(); app && network->thread() != app->thread())
            network->moveToThread(app->thread());
    }
    // Background work may drop the last reference on a worker thread.
    ~Shared() { network->deleteLater(); }

    void lookOnDisk(const std::shared_ptr<Load> &load);
    void fetch(const std::shared_ptr<Load> &load);
    // Decodes the bytes at every size the waiters want, then delivers. Fetched bytes that make a picture are
    // stored on disk unless they already were.
    void decode(const std::shared_ptr<Load> &load, const QByteArray &bytes, Source source,
                bool stored = false);
    void deliver(const std::shared_ptr<Load> &load, const QByteArray &bytes, Source source,
                 const std::vector<Variant> &variants, const std::vector<QImage> &images);
    void fail(const std::shared_ptr<Load> &load);
    void abandon(const std::shared_ptr<Load> &load);

    WebImageMemoryCache memory;
    std::shared_ptr<const WebImageDiskCache> disk;
    QNetworkAccessManager *network;
    const platform::TransferLimits limits;
    QHash<QString, std::shared_ptr<Load>> loads; // main thread
};

void WebImageManager::Shared::lookOnDisk(const std::shared_ptr<Load> &load)
{
    platform::Dispatch::global([weak = weak_from_this(), disk = disk, load] {
        if (load->abandoned)
            return;
        const std::optional<QByteArray> bytes = disk->read(load->key);
        platform::Dispatch::main([weak, load, bytes] {
            const auto self = weak.lock();
            if (!self || load->abandoned)
                return;
            if (bytes)
                self->decode(load, *bytes, Source::Disk);
            else
                self->fetch(load);
        });
    });
}

void WebImageManager::Shared::fetch(const std::shared_ptr<Load> &load)
{
    platform::URLRequest request(load->url);
    request.setValueForHTTPHeaderField(QStringLiteral("image/*,*/*;q=0.8"), QStringLiteral("Accept"));
    auto handler = [weak = weak_from_this(), load](const platform::HTTPURLResponsePtr &response,
                                                   const QByteArray &body,
                                                   const std::optional<platform::Error> &error) {
        load->transfer.clear();
        const auto self = weak.lock();
        if (!self || load->abandoned)
            return;
        // An error page is not the picture, even when it is one.
        if (!error && response && response->statusCode() >= 200 && response->statusCode() < 300)
            self->decode(load, body, Source::Network);
        else
            self->fail(load);
    };
    load->transfer = platform::HTTPTransfer::start(*network, request, limits, std::move(handler));
}

void WebImageManager::Shared::decode(const std::shared_ptr<Load> &load, const QByteArray &bytes,
                                     Source source, bool stored)
{
    std::vector<Variant> variants;
    for (const auto &waiter : load->waiters)
        if (std::find(variants.begin(), variants.end(), waiter.variant) == variants.end())
            variants.push_back(waiter.variant);
    platform::Dispatch::global([weak = weak_from_this(), disk = disk, load, bytes, source, stored, variants] {
        if (load->abandoned)
            return;
        std::vector<QImage> images;
        bool any = false;
        for (const Variant &variant : variants) {
            images.push_back(decodeImage(bytes, variant.bounds, variant.ratio));
            any = any || !images.back().isNull();
        }
        // Only bytes that make a picture are kept; a cached file that no longer does goes.
        if (source == Source::Network && any && !stored)
            disk->store(load->key, bytes);
        else if (source == Source::Disk && !any)
            disk->remove(load->key);
        platform::Dispatch::main([weak, load, bytes, source, variants, images, any] {
            const auto self = weak.lock();
            if (!self || load->abandoned)
                return;
            if (source == Source::Disk && !any)
                self->fetch(load); // intact file, yet no picture: fetch it afresh
            else
                self->deliver(load, bytes, source, variants, images);
        });
    });
}

void WebImageManager::Shared::deliver(const std::shared_ptr<Load> &load, const QByteArray &bytes,
                                      Source source, const std::vector<Variant> &variants,
                                      const std::vector<QImage> &images)
{
    for (size_t i = 0; i < variants.size(); ++i)
        if (!images[i].isNull())
            memory.insert(memoryKey(load->key, variants[i]), images[i]);
    // Callers that joined while the picture was being decoded, at a size not decoded yet, get a round of
    // their own from the same bytes; until then the load stays open for others to join.
    std::vector<Load::Waiter> served;
    std::vector<Load::Waiter> late;
    for (auto &waiter : load->waiters)
        (std::find(variants.begin(), variants.end(), waiter.variant) != variants.end() ? served : late)
            .push_back(std::move(waiter));
    load->waiters = std::move(late);
    if (load->waiters.empty() && loads.value(load->key) == load)
        loads.remove(load->key);
    // A completion may start or cancel other loads; it sees the served callers as done.
    for (const auto &waiter : served) {
        if (waiter.operation->isCancelled())
            continue;
        const QImage &image = images[static_cast<size_t>(
            std::find(variants.begin(), variants.end(), waiter.variant) - variants.begin())];
        waiter.operation->finish();
        if (waiter.completion)
            waiter.completion(image, image.isNull() ? Source::None : source);
    }
    if (!load->waiters.empty() && !load->abandoned)
        decode(load, bytes, source, true);
}

void WebImageManager::Shared::fail(const std::shared_ptr<Load> &load)
{
    if (loads.value(load->key) == load)
        loads.remove(load->key);
    const auto waiters = std::exchange(load->waiters, {});
    for (const auto &waiter : waiters) {
        if (waiter.operation->isCancelled())
            continue;
        waiter.operation->finish();
        if (waiter.completion)
            waiter.completion(QImage(), Source::None);
    }
}

void WebImageManager::Shared::abandon(const std::shared_ptr<Load> &load)
{
    load->abandoned = true;
    if (loads.value(load->key) == load)
        loads.remove(load->key);
    if (const QPointer<platform::HTTPTransfer> transfer = std::exchange(load->transfer, nullptr))
        transfer->cancel();
}

WebImageManager::WebImageManager(const QString &diskFolder, qint64 memoryBudget, qint64 diskBudget,
                                 qint64 diskMaxAgeSeconds, const platform::TransferLimits &limits)
    : m_shared(std::make_shared<Shared>(diskFolder, memoryBudget, diskBudget, diskMaxAgeSeconds, limits))
{}

WebImageManager::~WebImageManager()
{
    const auto loads = m_shared->loads.values();
    for (const auto &load : loads) {
        m_shared->abandon(load);
        load->waiters.clear();
    }
}

WebImageManager &WebImageManager::shared()
{
    // Never destroyed: transfers may still be under way while the process exits, after the application
    // object and its event loop are gone.
    static WebImageManager *const instance = new WebImageManager(defaultDiskFolder());
    return *instance;
}

QString WebImageManager::defaultDiskFolder()
{
    return platform::StandardPaths::cacheLocation() + QStringLiteral("/WebImage");
}

QString WebImageManager::cacheKeyForURL(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.isRelative() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url.adjusted(QUrl::RemoveFragment).toString(QUrl::FullyEncoded);
}

WebImageOperationPtr WebImageManager::loadImage(const QUrl &url, Completion completion)
{
    return loadImage(url, QSize(), 1, std::move(completion));
}

WebImageOperationPtr WebImageManager::loadImage(const QUrl &url, const QSize &bounds, qreal devicePixelRatio,
                                                Completion completion)
{
    auto operation = std::make_shared<WebImageOperation>();
    const QString key = cacheKeyForURL(url);
    const Variant variant{bounds.isEmpty() ? QSize() : bounds, devicePixelRatio > 0 ? devicePixelRatio : 1};
    if (key.isEmpty()) {
        platform::Dispatch::main([operation, completion = std::move(completion)] {
            if (operation->isCancelled())
                return;
            operation->finish();
            if (completion)
                completion(QImage(), Source::None);
        });
        return operation;
    }
    if (const QImage image = m_shared->memory.image(memoryKey(key, variant)); !image.isNull()) {
        operation->finish();
        if (completion)
            completion(image, Source::Memory);
        return operation;
    }

    std::shared_ptr<Load> load = m_shared->loads.value(key);
    const bool isNew = !load;
    if (isNew) {
        load = std::make_shared<Load>();
        load->key = key;
        load->url = url;
        m_shared->loads.insert(key, load);
    }
    load->waiters.push_back({operation, std::move(completion), variant});
    // The operation owns this handler, so a plain pointer back to it cannot dangle.
    operation->setCancelHandler([weakShared = std::weak_ptr<Shared>(m_shared),
                                 weakLoad = std::weak_ptr<Load>(load), raw = operation.get()] {
        const auto self = weakShared.lock();
        const auto load = weakLoad.lock();
        if (!self || !load)
            return;
        std::erase_if(load->waiters, [raw](const auto &waiter) { return waiter.operation.get() == raw; });
        if (load->waiters.empty())
            self->abandon(load);
    });
    if (isNew)
        m_shared->lookOnDisk(load);
    return operation;
}

WebImageMemoryCache &WebImageManager::memoryCache()
{
    return m_shared->memory;
}

const WebImageDiskCache &WebImageManager::diskCache() const
{
    return *m_shared->disk;
}
