#include "WebImage/WebImageLoader.h"

#include "Platform/Net/HTTPTransfer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFuture>
#include <QHash>
#include <QImageReader>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QPointer>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <optional>

namespace {

using platform::TransferLimits;

// A pool of its own, never destroyed: work may still run while the process exits.
QThreadPool *newPool(int threads)
{
    auto *pool = new QThreadPool;
    pool->setMaxThreadCount(threads);
    return pool;
}

// Some formats (PNG among them) can only be decoded whole and scaled afterwards, which briefly takes up to
// MaxImageSide² pixels; two threads bound that, however many views ask at once.
QThreadPool &decodePool()
{
    static QThreadPool *const pool = newPool(2);
    return *pool;
}

// The disk cache is no object for two threads at once: its one thread takes every reading and writing.
QThreadPool &diskPool()
{
    static QThreadPool *const pool = newPool(1);
    return *pool;
}

// Worker threads only. The picture comes out at most as large as the bounds (keeping its aspect ratio;
// empty bounds: its own size), in the format a pixmap uses, so a view's pixmap shares the decoded pixels
// instead of copying them.
QImage decodeImage(const QByteArray &bytes, const QSize &bounds, qreal ratio)
{
    constexpr int maxSide = TransferLimits::MaxImageSide;
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
    if (!reader.read(&image) || image.width() > maxSide || image.height() > maxSide)
        return {};
    // Formats that cannot decode at a size are scaled right after.
    if (!bounds.isEmpty() && (image.width() > bounds.width() || image.height() > bounds.height()))
        image = image.scaled(bounds, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image = std::move(image).convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                     : QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

// The fetched bytes by address, in Qt's disk cache used as a plain store rather than as the access
// manager's HTTP cache: bytes that made a picture once are kept for a week whatever the server's caching
// headers say, so a logo once shown needs no request again. On the disk pool's one thread; the folder is
// made on the first use.
class DiskStore
{
public:
    explicit DiskStore(const QString &folder) : m_folder(folder) {}

    std::optional<QByteArray> read(const QUrl &url)
    {
        const QNetworkCacheMetaData metaData = cache().metaData(url); // a damaged file goes here
        if (!metaData.isValid())
            return std::nullopt;
        if (metaData.expirationDate() < QDateTime::currentDateTimeUtc()) {
            m_cache.remove(url);
            return std::nullopt;
        }
        const std::unique_ptr<QIODevice> data(m_cache.data(url));
        return data ? std::optional<QByteArray>(data->readAll()) : std::nullopt;
    }

    void store(const QUrl &url, const QByteArray &bytes)
    {
        QNetworkCacheMetaData metaData;
        metaData.setUrl(url);
        metaData.setSaveToDisk(true);
        metaData.setExpirationDate(
            QDateTime::currentDateTimeUtc().addSecs(WebImageLoader::DiskMaxAgeSeconds));
        if (QIODevice *device = cache().prepare(metaData)) {
            if (device->write(bytes) == bytes.size())
                m_cache.insert(device); // trims the folder to its budget, oldest files first
            else
                m_cache.remove(url);
        }
    }

    void remove(const QUrl &url) { cache().remove(url); }

private:
    QNetworkDiskCache &cache()
    {
        if (m_cache.cacheDirectory().isEmpty()) {
            m_cache.setMaximumCacheSize(WebImageLoader::DiskBudget);
            m_cache.setCacheDirectory(m_folder);
        }
        return m_cache;
    }

    const QString m_folder;
    QNetworkDiskCache m_cache;
};

} // namespace

// One address at one size and density on its way in; every view that asks for it meanwhile waits on it.
struct WebImageLoader::Load
{
    QString memoryKey;
    QUrl url;
    QSize bounds;
    qreal ratio = 1;
    QList<std::pair<QPointer<QLabel>, quint64>> waiters; // a view and the ticket of its call
    QPointer<platform::HTTPTransfer> transfer;
    // The work on a worker, cancelled with the load so that a queued read or decoding never starts.
    QFuture<std::optional<QByteArray>> reading;
    QFuture<QImage> decoding;
    bool abandoned = false;
};

// Everything lives on the GUI thread; workers get copies of what they need and answer there, where the
// answer finds the state gone, or the load abandoned, and is dropped.
struct WebImageLoader::State : QObject
{
    State(const QString &folder, qint64 memoryBudget, const TransferLimits &limits)
        : memory(memoryBudget), disk(std::make_shared<DiskStore>(folder)), folder(folder),
          network(new QNetworkAccessManager), limits(limits)
    {
        // Replies live on the manager's thread, which must be the GUI thread.
        if (QCoreApplication *app = QCoreApplication::instance(); app && network->thread() != app->thread())
            network->moveToThread(app->thread());
    }
    ~State() override
    {
        for (const auto &load : loads.values())
            abandon(load);
        network->deleteLater();
    }

    // The view's current call: its ticket, and the load it waits on (empty when none).
    struct ViewCall
    {
        quint64 ticket = 0;
        QString memoryKey;
    };

    void wait(QLabel *view, quint64 ticket, const QString &memoryKey, const QUrl &url, const QSize &bounds,
              qreal ratio);
    // Ends the view's earlier call; a load nobody waits for any more is abandoned and its fetch stopped.
    void leave(const ViewCall &call);
    void lookOnDisk(const std::shared_ptr<Load> &load);
    void fetch(const std::shared_ptr<Load> &load);
    void decode(const std::shared_ptr<Load> &load, const QByteArray &bytes, bool fromDisk);
    void finish(const std::shared_ptr<Load> &load, const QImage &image);
    void abandon(const std::shared_ptr<Load> &load);
    // Whether a worker's answer for the load still counts: the state and the load are still there.
    static bool stillWanted(const QPointer<State> &self, const std::shared_ptr<Load> &load)
    {
        return self && !load->abandoned;
    }

    QCache<QString, QImage> memory;
    const std::shared_ptr<DiskStore> disk;
    const QString folder;
    QNetworkAccessManager *network;
    const TransferLimits limits;
    QHash<QString, std::shared_ptr<Load>> loads;
    QHash<const QObject *, ViewCall> views;
    quint64 tickets = 0;
};

void WebImageLoader::State::wait(QLabel *view, quint64 ticket, const QString &memoryKey, const QUrl &url,
                                 const QSize &bounds, qreal ratio)
{
    std::shared_ptr<Load> &load = loads[memoryKey];
    const bool isNew = !load;
    if (isNew) {
        load = std::make_shared<Load>();
        load->memoryKey = memoryKey;
        load->url = url;
        load->bounds = bounds;
        load->ratio = ratio;
    }
    load->waiters.append({view, ticket});
    views[view].memoryKey = memoryKey;
    if (isNew)
        lookOnDisk(load);
}

void WebImageLoader::State::leave(const ViewCall &call)
{
    const std::shared_ptr<Load> load = loads.value(call.memoryKey);
    if (!load)
        return;
    load->waiters.removeIf([&](const auto &waiter) { return waiter.second == call.ticket; });
    if (load->waiters.isEmpty())
        abandon(load);
}

// Workers answer through the application object, which outlives every loader; the answer then checks
// that its loader is still there.
void WebImageLoader::State::lookOnDisk(const std::shared_ptr<Load> &load)
{
    load->reading =
        QtConcurrent::run(&diskPool(), [disk = disk, url = load->url] { return disk->read(url); });
    // The load holds its futures, and a future its continuation: the continuation holds the load weakly, or
    // the two would keep each other for ever. Only the record of loads keeps a load.
    load->reading.then(qApp, [self = QPointer<State>(this),
                              weak = std::weak_ptr<Load>(load)](const std::optional<QByteArray> &bytes) {
        const std::shared_ptr<Load> load = weak.lock();
        if (!load || !stillWanted(self, load))
            return;
        if (bytes)
            self->decode(load, *bytes, true);
        else
            self->fetch(load);
    });
}

void WebImageLoader::State::fetch(const std::shared_ptr<Load> &load)
{
    QNetworkRequest request(load->url);
    request.setRawHeader("Accept", "image/*,*/*;q=0.8");
    load->transfer = platform::HTTPTransfer::start(
        *network, request, "GET", {}, limits,
        [self = QPointer<State>(this), load](QNetworkReply *reply, const QByteArray &body,
                                             const std::optional<platform::Error> &error) {
            if (!stillWanted(self, load))
                return;
            const int status = reply ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
            // An error page is not the picture, even when it is one.
            if (!error && status >= 200 && status < 300)
                self->decode(load, body, false);
            else
                self->finish(load, QImage());
        });
}

void WebImageLoader::State::decode(const std::shared_ptr<Load> &load, const QByteArray &bytes, bool fromDisk)
{
    load->decoding = QtConcurrent::run(&decodePool(), [bytes, bounds = load->bounds, ratio = load->ratio] {
        return decodeImage(bytes, bounds, ratio);
    });
    load->decoding.then(qApp, [self = QPointer<State>(this), disk = disk, weak = std::weak_ptr<Load>(load),
                               url = load->url, bytes, fromDisk](const QImage &image) {
        // Only bytes that make a picture are kept; a stored file that no longer makes one goes, even when
        // nobody waits for the picture any more.
        if (!fromDisk && !image.isNull())
            diskPool().start([disk, url, bytes] { disk->store(url, bytes); });
        else if (fromDisk && image.isNull())
            diskPool().start([disk, url] { disk->remove(url); });
        const std::shared_ptr<Load> load = weak.lock();
        if (!load || !stillWanted(self, load))
            return;
        if (fromDisk && image.isNull())
            self->fetch(load); // a stored file, yet no picture: fetch it afresh
        else
            self->finish(load, image);
    });
}

void WebImageLoader::State::finish(const std::shared_ptr<Load> &load, const QImage &image)
{
    if (loads.value(load->memoryKey) == load)
        loads.remove(load->memoryKey);
    // A picture larger than the whole budget is shown but not kept.
    if (!image.isNull())
        memory.insert(load->memoryKey, new QImage(image), image.sizeInBytes());
    for (const auto &[view, ticket] : load->waiters) {
        const auto call = views.find(view.data());
        if (!view || call == views.end() || call->ticket != ticket)
            continue; // superseded
        call->memoryKey.clear();
        if (!image.isNull())
            view->setPixmap(QPixmap::fromImage(image));
    }
}

void WebImageLoader::State::abandon(const std::shared_ptr<Load> &load)
{
    load->abandoned = true;
    load->reading.cancel();
    load->decoding.cancel();
    if (loads.value(load->memoryKey) == load)
        loads.remove(load->memoryKey);
    if (const QPointer<platform::HTTPTransfer> transfer = std::exchange(load->transfer, nullptr))
        transfer->cancel();
}

WebImageLoader::WebImageLoader(const QString &diskFolder, qint64 memoryBudget, const TransferLimits &limits)
    : m_state(std::make_unique<State>(diskFolder, memoryBudget, limits))
{}

WebImageLoader::~WebImageLoader() = default;

WebImageLoader &WebImageLoader::shared()
{
    static WebImageLoader *const instance = new WebImageLoader(defaultDiskFolder());
    return *instance;
}

QString WebImageLoader::defaultDiskFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return (cache.isEmpty() ? QDir::tempPath() + QStringLiteral("/bootdrive-cache") : cache) +
           QStringLiteral("/WebImage");
}

QString WebImageLoader::cacheKeyForURL(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.isRelative() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url.adjusted(QUrl::RemoveFragment).toString(QUrl::FullyEncoded);
}

void WebImageLoader::setImageWithURL(QLabel *view, const QUrl &url, const QImage &placeholder)
{
    if (!view)
        return;
    State &state = *m_state;
    if (!state.views.contains(view))
        QObject::connect(view, &QObject::destroyed, &state, [&state, view] {
            // A view that goes takes its call with it, and the fetch when nobody else waits for it.
            state.leave(state.views.take(view));
        });
    const State::ViewCall previous = state.views.value(view);
    const quint64 ticket = ++state.tickets;
    state.views[view] = {ticket, QString()};
    if (placeholder.isNull())
        view->clear();
    else
        view->setPixmap(QPixmap::fromImage(placeholder));

    const QString key = cacheKeyForURL(url);
    if (!key.isEmpty()) {
        // Decoded for the view's own size and screen density: a picture's pixels beyond those are never kept.
        const QSize box = view->contentsRect().size();
        const qreal ratio = box.isEmpty() ? 1.0 : view->devicePixelRatioF();
        const QSize bounds = box.isEmpty() ? QSize() : (QSizeF(box) * ratio).toSize();
        const QString memoryKey =
            bounds.isEmpty()
                ? key
                : QStringLiteral("%1 %2x%3@%4").arg(key).arg(bounds.width()).arg(bounds.height()).arg(ratio);
        if (const QImage *image = state.memory.object(memoryKey))
            view->setPixmap(QPixmap::fromImage(*image));
        else
            state.wait(view, ticket, memoryKey, QUrl(key), bounds, ratio);
    }
    // After the new call joined its load, so asking again for the address on its way keeps the fetch going.
    state.leave(previous);
}

const QCache<QString, QImage> &WebImageLoader::memoryCache() const
{
    return m_state->memory;
}

const QString &WebImageLoader::diskFolder() const
{
    return m_state->folder;
}

int WebImageLoader::loadsUnderWay() const
{
    return static_cast<int>(m_state->loads.size());
}
