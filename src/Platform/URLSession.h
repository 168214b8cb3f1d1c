#pragma once

#include "Platform/URLSessionTask.h"

#include <QString>
#include <atomic>

class QNetworkAccessManager;

namespace platform {

// The URL session: HTTP transfers on Qt's network access manager, which lives on the GUI thread.
// Completion handlers run on the delivery queue (by default a worker thread), never on the caller's stack.
class URLSession
{
public:
    static const QString ErrorDomain;

    // Error codes, with the platform's values.
    enum ErrorCode : int64_t
    {
        Unknown = -1,
        Cancelled = -999,
        BadURL = -1000,
        TimedOut = -1001,
        UnsupportedURL = -1002,
        CannotFindHost = -1003,
        CannotConnectToHost = -1004,
        NetworkConnectionLost = -1005,
        NotConnectedToInternet = -1009,
        BadServerResponse = -1011,
        SecureConnectionFailed = -1200,
    };

    // delivery: where completion handlers run; empty means the global (worker) queue.
    explicit URLSession(URLSessionTask::Delivery delivery = {});
    ~URLSession();
    URLSession(const URLSession &) = delete;
    URLSession &operator=(const URLSession &) = delete;

    // A suspended data task; call resume() to start it. Any status from 100 to 599 is an answer; others
    // fail with "Request failed: <status text> (<code>)".
    URLSessionTaskPtr dataTaskWithRequest(const URLRequest &request,
                                          URLSessionTask::CompletionHandler handler);

private:
    QNetworkAccessManager *m_manager;
    URLSessionTask::Delivery m_delivery;
    std::atomic<uint64_t> m_nextIdentifier{1};
};

} // namespace platform
