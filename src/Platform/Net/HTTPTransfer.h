#pragma once

#include "Platform/Net/HTTPURLResponse.h"
#include "Platform/Net/TransferLimits.h"
#include "Platform/Net/URLRequest.h"
#include "Platform/Values/Error.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace platform {

// One HTTP exchange on Qt's network access manager, held to its limits: the body is collected as it
// arrives, and the exchange fails once the body passes the byte cap, the whole exchange passes its time
// limit, or no data came for the idle time. Only http and https are sent. Lives on the manager's thread
// (the GUI thread); the completion runs there exactly once, after which the transfer deletes itself.
class HTTPTransfer : public QObject
{
    Q_OBJECT

public:
    static const QString ErrorDomain;
    // Failure codes, with the platform's values.
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
        DataLengthExceedsMaximum = -1103,
        SecureConnectionFailed = -1200,
    };

    // The HTTP head (nothing when no answer came), the body, and the failure if any. HTTP error statuses
    // are answers; a status outside 100-599 is the failure "Request failed: <status text> (<code>)".
    using Completion = std::function<void(const HTTPURLResponsePtr &response, const QByteArray &body,
                                          const std::optional<Error> &error)>;

    // Sends the request. Its time-out is the idle limit; without one (0), limits.idleSeconds.
    static HTTPTransfer *start(QNetworkAccessManager &manager, const URLRequest &request,
                               const TransferLimits &limits, Completion completion);
    // Ends the exchange early; the completion reports Cancelled. Nothing happens once it has completed.
    void cancel();
    // Called with each new address the exchange is redirected to.
    void setRedirectHandler(std::function<void(const QUrl &)> handler) { m_redirected = std::move(handler); }

private:
    enum class Stop
    {
        None,
        Cancelled,
        TimedOut,
        TooLarge,
    };

    HTTPTransfer(QNetworkAccessManager &manager, const TransferLimits &limits, Completion completion);
    void send(QNetworkAccessManager &manager, const URLRequest &request);
    void stop(Stop reason);
    void collect();
    void finished();
    void complete(const HTTPURLResponsePtr &response, QByteArray body, const std::optional<Error> &error);

    TransferLimits m_limits;
    Completion m_completion;
    std::function<void(const QUrl &)> m_redirected;
    QPointer<QNetworkReply> m_reply;
    QTimer *m_deadline = nullptr;
    QByteArray m_body;
    Stop m_stop = Stop::None;
    bool m_completed = false;
};

} // namespace platform
