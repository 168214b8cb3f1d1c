#pragma once

#include <QByteArray>
#include <memory>

namespace platform {

// A readable descriptor that it owns and closes. Background reads deliver each chunk as a
// "NSFileHandleReadCompletionNotification" on the default notification centre, posted on the thread that
// started the read (which must run a Qt event loop), with the bytes under "NSFileHandleNotificationDataItem".
// An empty chunk means the end of the stream.
class FileHandle
{
public:
    static const QString ReadCompletionNotification;
    static const QString NotificationDataItem;

    explicit FileHandle(int fd);
    ~FileHandle();
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;

    int fileDescriptor() const;
    // One read of what is available, reported by a notice; call again after each notice for more.
    void readInBackgroundAndNotify();
    // Stops background reads; a read already under way finishes and posts its notice first.
    void stopBackgroundReads();
    // Blocks until the end of the stream.
    QByteArray readDataToEndOfFile();

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace platform
