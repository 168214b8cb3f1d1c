#include "WebImage/WebImageManager.h"

#include "Platform/Dispatch.h"
#include "Platform/StandardPaths.h"
#include "Platform/URLSession.h"
#include "WebImage/WebImageDiskCache.h"
#include "WebImage/WebImageMemoryCache.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <atomic>
#include <utility>
#include <vector>

namespace {

// Worker threads only: decoding a large picture must not hold up the window.
QImage decodeImage(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image))
        return {};
    return image;
}

} // namespace

// Everything known about one address on its way in. Only `abandoned` is read off the main thread.
struct WebImageManager::Load
{
    QString key;
    QUrl url;
    std::vector<std::pair<WebImageOperationPtr, Completion>> waiters;
    platform::URLSessionTaskPtr task;
    std::atomic<bool> abandoned{false};
};

// Outlives the manager for as long as background work refers to it; that work holds it only weakly.
struct WebImageManager::Shared : std::enable_shared_from_this<Shared>
{
    Shared(const QString &folder, qint64 memoryBudget, qint64 diskBudget, qint64 diskMaxAge)
        : memory(memoryBudget),
          disk(std::make_shared<const WebImageDiskCache>(folder, diskBudget, diskMaxAge))
    {}

    void lookOnDisk(const std::shared_ptr<Load> &load);
    void fetch(const std::shared_ptr<Load> &load);
    void finish(const std::shared_ptr<Load> &load, const QImage &image, Source source);
    void abandon(const std::shared_ptr<Load> &load);

    WebImageMemoryCache memory;
    std::shared_ptr<const WebImageDiskCache> disk;
    platform::URLSession session;
    QHash<QString, std::shared_ptr<Load>> loads; // main thread
};

void WebImageManager::Shared::lookOnDisk(const std::shared_ptr<Load> &load)
{
    platform::Dispatch::global([weak = weak_from_this(), disk = disk, load] {
        if (load->abandoned)
            return;
        QImage image;
        if (const auto bytes = disk->read(load->key)) {
            image = decodeImage(*bytes);
            if (image.isNull())
                disk->remove(load->key); // intact file, yet no picture: fetch it afresh
        }
        platform::Dispatch::main([weak, load, image] {
            const auto self = weak.lock();
            if (!self || load->abandoned)
                return;
            if (image.isNull())
                self->fetch(load);
            else
                self->finish(load, image, Source::Disk);
        });
    });
}

void WebImageManager::Shared::fetch(const std::shared_ptr<Load> &load)
{
    platform::URLRequest request(load->url);
    request.setTimeoutInterval(RequestTimeout);
    request.setValueForHTTPHeaderField(QStringLiteral("image/*,*/*;q=0.8"), QStringLiteral("Accept"));
    auto handler = [weak = weak_from_this(), disk = disk,
                    load](const platform::URLSessionTaskPtr &, const platform::HTTPURLResponsePtr &response,
                          const platform::DataPtr &data, const std::optional<platform::Error> &error) {
        if (load->abandoned)
            return;
        QImage image;
        // An error page is not the picture, even when it is one.
        if (!error && response && response->statusCode() >= 200 && response->statusCode() < 300 && data) {
            image = decodeImage(data->bytes());
            if (!image.isNull())
                disk->store(load->key, data->bytes());
        }
        platform::Dispatch::main([weak, load, image] {
            const auto self = weak.lock();
            if (self && !load->abandoned)
                self->finish(load, image, image.isNull() ? Source::None : Source::Network);
        });
    };
    load->task = session.dataTaskWithRequest(request, std::move(handler));
    load->task->resume();
}

void WebImageManager::Shared::finish(const std::shared_ptr<Load> &load, const QImage &image, Source source)
{
    load->task.reset();
    if (loads.value(load->key) == load)
        loads.remove(load->key);
    if (!image.isNull())
        memory.insert(load->key, image);
    // A completion may start or cancel other loads; it sees this one as done.
    const auto waiters = std::exchange(load->waiters, {});
    for (const auto &[operation, completion] : waiters) {
        if (operation->isCancelled())
            continue;
        operation->finish();
        if (completion)
            completion(image, source);
    }
}

void WebImageManager::Shared::abandon(const std::shared_ptr<Load> &load)
{
    load->abandoned = true;
    if (loads.value(load->key) == load)
        loads.remove(load->key);
    if (const auto task = std::exchange(load->task, nullptr))
        task->cancel();
}

WebImageManager::WebImageManager(const QString &diskFolder, qint64 memoryBudget, qint64 diskBudget,
                                 qint64 diskMaxAgeSeconds)
    : m_shared(std::make_shared<Shared>(diskFolder, memoryBudget, diskBudget, diskMaxAgeSeconds))
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
    auto operation = std::make_shared<WebImageOperation>();
    const QString key = cacheKeyForURL(url);
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
    if (const QImage image = m_shared->memory.image(key); !image.isNull()) {
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
    load->waiters.emplace_back(operation, std::move(completion));
    // The operation owns this handler, so a plain pointer back to it cannot dangle.
    operation->setCancelHandler([weakShared = std::weak_ptr<Shared>(m_shared),
                                 weakLoad = std::weak_ptr<Load>(load), raw = operation.get()] {
        const auto self = weakShared.lock();
        const auto load = weakLoad.lock();
        if (!self || !load)
            return;
        std::erase_if(load->waiters, [raw](const auto &waiter) { return waiter.first.get() == raw; });
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
