// SPDX-License-Identifier: MIT
#include "kit/base/NotificationCenter.h"

#include <algorithm>
#include <vector>

namespace kit {

struct NotificationCenter::Observation::Entry {
    std::weak_ptr<NotificationCenter::Impl> center;
    std::string name;
    const void* sender = nullptr;
    const void* owner = nullptr;
    // Shared, so that the callback outlives its own removal while it runs.
    std::shared_ptr<Callback> callback;
    bool active = true;
};

struct NotificationCenter::Impl {
    std::vector<std::shared_ptr<Observation::Entry>> entries;

    void detach(const std::shared_ptr<Observation::Entry>& entry)
    {
        entry->active = false;
        std::erase(entries, entry);
    }
};

NotificationCenter::Observation::Observation(std::shared_ptr<Entry> entry)
    : m_entry(std::move(entry))
{
}

NotificationCenter::Observation::~Observation() { remove(); }

void NotificationCenter::Observation::remove()
{
    if (!m_entry)
        return;
    std::shared_ptr<Entry> entry = std::move(m_entry);
    if (!entry->active)
        return;
    entry->active = false;
    if (auto center = entry->center.lock())
        center->detach(entry);
}

bool NotificationCenter::Observation::isActive() const { return m_entry && m_entry->active; }

NotificationCenter::NotificationCenter()
    : m_impl(std::make_shared<Impl>())
{
}

NotificationCenter::~NotificationCenter()
{
    // Tokens that outlive the center become inert.
    for (auto& entry : m_impl->entries)
        entry->active = false;
}

NotificationCenter& NotificationCenter::defaultCenter()
{
    // Never destroyed, so tokens released during static destruction still find it.
    static NotificationCenter* center = new NotificationCenter;
    return *center;
}

std::unique_ptr<NotificationCenter::Observation> NotificationCenter::addObserver(std::string_view name, const void* sender,
    const void* owner, Callback callback)
{
    auto entry = std::make_shared<Observation::Entry>();
    entry->center = m_impl;
    entry->name = std::string(name);
    entry->sender = sender;
    entry->owner = owner;
    entry->callback = std::make_shared<Callback>(std::move(callback));
    entry->active = bool(*entry->callback);
    if (entry->active)
        m_impl->entries.push_back(entry);
    return std::unique_ptr<Observation>(new Observation(std::move(entry)));
}

void NotificationCenter::post(std::string_view name, const void* sender, Value userInfo)
{
    Notification notification { std::string(name), sender, std::move(userInfo) };
    // Delivery walks a snapshot: observers added meanwhile wait for the next post, and each
    // entry is checked again just before its turn in case an earlier callback removed it.
    std::vector<std::shared_ptr<Observation::Entry>> recipients;
    for (auto& entry : m_impl->entries) {
        if (!entry->name.empty() && entry->name != notification.name)
            continue;
        if (entry->sender && entry->sender != sender)
            continue;
        recipients.push_back(entry);
    }
    for (auto& entry : recipients) {
        if (!entry->active)
            continue;
        std::shared_ptr<Callback> callback = entry->callback;
        (*callback)(notification);
    }
}

void NotificationCenter::removeObserver(const void* owner)
{
    if (!owner)
        return;
    std::vector<std::shared_ptr<Observation::Entry>> removed;
    for (auto& entry : m_impl->entries) {
        if (entry->owner == owner) {
            entry->active = false;
            removed.push_back(entry);
        }
    }
    std::erase_if(m_impl->entries, [](const auto& entry) { return !entry->active; });
}

std::size_t NotificationCenter::observerCount() const { return m_impl->entries.size(); }

} // namespace kit
