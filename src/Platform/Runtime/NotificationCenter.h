#pragma once

#include "Platform/Runtime/Notification.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class ObserverToken;

// Delivers posted notices synchronously, on the posting thread, to the observers registered for the name
// (and sender, when one is given). Observers live as long as the token that registration returns.
class NotificationCenter
{
public:
    using Handler = std::function<void(const Notification &)>;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    // The process-wide centres: the default one, and the workspace's (volume mounts).
    static NotificationCenter &defaultCenter();
    static NotificationCenter &workspaceCenter();

    // An empty name matches every name; a null sender matches every sender.
    [[nodiscard]] std::unique_ptr<ObserverToken> addObserver(const QString &name, const void *sender,
                                                             Handler handler);
    void post(const Notification &notification);
    void post(const QString &name, const void *sender = nullptr, DictionaryPtr userInfo = {});

    struct Registration;
    struct State;

private:
    std::shared_ptr<State> m_state;
};

class ObserverToken
{
public:
    ~ObserverToken();
    ObserverToken(const ObserverToken &) = delete;
    ObserverToken &operator=(const ObserverToken &) = delete;

private:
    friend class NotificationCenter;
    ObserverToken(std::weak_ptr<NotificationCenter::State> state,
                  std::shared_ptr<NotificationCenter::Registration> registration);

    std::weak_ptr<NotificationCenter::State> m_state;
    std::shared_ptr<NotificationCenter::Registration> m_registration;
};

} // namespace platform
