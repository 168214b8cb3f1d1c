#include "Platform/Runtime/NotificationCenter.h"

#include <algorithm>
#include <atomic>

namespace platform {

struct NotificationCenter::Registration
{
    QString name;
    const void *sender;
    Handler handler;
    std::atomic<bool> active{true};
    // Held while the handler runs, so removal waits for a delivery in progress on another thread.
    std::recursive_mutex running;
};

struct NotificationCenter::State
{
    std::mutex lock;
    std::vector<std::shared_ptr<Registration>> registrations;
};

NotificationCenter::NotificationCenter() : m_state(std::make_shared<State>()) {}
NotificationCenter::~NotificationCenter() = default;

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter *center = new NotificationCenter;
    return *center;
}

NotificationCenter &NotificationCenter::workspaceCenter()
{
    static NotificationCenter *center = new NotificationCenter;
    return *center;
}

std::unique_ptr<ObserverToken> NotificationCenter::addObserver(const QString &name, const void *sender,
                                                               Handler handler)
{
    auto registration = std::make_shared<Registration>();
    registration->name = name;
    registration->sender = sender;
    registration->handler = std::move(handler);
    {
        std::lock_guard guard(m_state->lock);
        m_state->registrations.push_back(registration);
    }
    return std::unique_ptr<ObserverToken>(new ObserverToken(m_state, registration));
}

void NotificationCenter::post(const Notification &notification)
{
    std::vector<std::shared_ptr<Registration>> targets;
    {
        std::lock_guard guard(m_state->lock);
        for (const auto &r : m_state->registrations)
            if ((r->name.isEmpty() || r->name == notification.name) &&
                (!r->sender || r->sender == notification.sender))
                targets.push_back(r);
    }
    for (const auto &r : targets) {
        std::lock_guard running(r->running);
        // An observer removed by an earlier handler of this same post is not called.
        if (r->active.load())
            r->handler(notification);
    }
}

void NotificationCenter::post(const QString &name, const void *sender, DictionaryPtr userInfo)
{
    post(Notification{name, sender, std::move(userInfo)});
}

ObserverToken::ObserverToken(std::weak_ptr<NotificationCenter::State> state,
                             std::shared_ptr<NotificationCenter::Registration> registration)
    : m_state(std::move(state)), m_registration(std::move(registration))
{}

ObserverToken::~ObserverToken()
{
    m_registration->active.store(false);
    {
        // Wait for a handler running on another thread; a handler that drops its own token is on this thread.
        std::lock_guard running(m_registration->running);
    }
    if (auto state = m_state.lock()) {
        std::lock_guard guard(state->lock);
        auto &list = state->registrations;
        list.erase(std::remove(list.begin(), list.end(), m_registration), list.end());
    }
}

} // namespace platform
