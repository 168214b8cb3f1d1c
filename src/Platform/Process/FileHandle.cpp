#include "Platform/Process/FileHandle.h"

#include "Platform/Runtime/Dispatch.h"
#include "Platform/Runtime/NotificationCenter.h"
#include "Platform/Values/Data.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <mutex>
#include <unistd.h>

namespace platform {

const QString FileHandle::ReadCompletionNotification =
    QStringLiteral("NSFileHandleReadCompletionNotification");
const QString FileHandle::NotificationDataItem = QStringLiteral("NSFileHandleNotificationDataItem");

struct FileHandle::State
{
    int fd = -1;
    const void *identity = nullptr; // the FileHandle, as notices name it
    // Serialises a background read with its notice against stopBackgroundReads, so no chunk is read
    // and then dropped.
    std::recursive_mutex lock;
    bool stopped = false;
    QSocketNotifier *notifier = nullptr; // lives on the thread that started the first read

    ~State()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

void readOnce(const std::shared_ptr<FileHandle::State> &state)
{
    std::lock_guard guard(state->lock);
    if (state->notifier)
        state->notifier->setEnabled(false);
    if (state->stopped || state->fd < 0)
        return;
    QByteArray chunk(65536, Qt::Uninitialized);
    ssize_t n;
    do {
        n = ::read(state->fd, chunk.data(), static_cast<size_t>(chunk.size()));
    } while (n < 0 && errno == EINTR);
    if (n < 0 && errno == EAGAIN) {
        if (state->notifier)
            state->notifier->setEnabled(true);
        return;
    }
    chunk.resize(n > 0 ? n : 0);
    auto userInfo = std::make_shared<Dictionary>();
    userInfo->setValue(FileHandle::NotificationDataItem, Data::make(chunk));
    NotificationCenter::defaultCenter().post(FileHandle::ReadCompletionNotification, state->identity,
                                             userInfo);
}

void destroyNotifier(QSocketNotifier *notifier)
{
    if (!notifier)
        return;
    if (QThread::currentThread() == notifier->thread())
        delete notifier;
    else
        notifier->deleteLater();
}

} // namespace

FileHandle::FileHandle(int fd) : m_state(std::make_shared<State>())
{
    m_state->fd = fd;
    m_state->identity = this;
}

FileHandle::~FileHandle()
{
    std::shared_ptr<State> state = std::move(m_state);
    {
        std::lock_guard guard(state->lock);
        state->stopped = true;
    }
    if (!state->notifier)
        return;
    if (QThread::currentThread() == state->notifier->thread()) {
        destroyNotifier(state->notifier);
        return;
    }
    // The notifier must go on its own thread before the descriptor closes; the state (and the descriptor)
    // lives until then.
    QMetaObject::invokeMethod(
        state->notifier, [state] { destroyNotifier(state->notifier); }, Qt::QueuedConnection);
}

int FileHandle::fileDescriptor() const
{
    return m_state->fd;
}

void FileHandle::readInBackgroundAndNotify()
{
    std::lock_guard guard(m_state->lock);
    if (m_state->stopped || m_state->fd < 0)
        return;
    if (!m_state->notifier) {
        m_state->notifier = new QSocketNotifier(m_state->fd, QSocketNotifier::Read);
        std::weak_ptr<State> weak = m_state;
        QObject::connect(m_state->notifier, &QSocketNotifier::activated, [weak] {
            if (auto state = weak.lock())
                readOnce(state);
        });
    }
    m_state->notifier->setEnabled(true);
}

void FileHandle::stopBackgroundReads()
{
    std::lock_guard guard(m_state->lock);
    m_state->stopped = true;
}

QByteArray FileHandle::readDataToEndOfFile()
{
    QByteArray all;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(m_state->fd, buffer, sizeof buffer);
        if (n > 0)
            all.append(buffer, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    return all;
}

} // namespace platform
