// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kit {

// A posted notification: its name, the object that posted it (may be null) and extra values.
struct Notification {
    std::string name;
    const void* sender = nullptr;
    Value userInfo;
};

// Synchronous, main-thread notification delivery. Observers are called in the order they were
// added; an observer may remove itself or any other observer during delivery, and one that was
// removed before its turn is not called. Observers added during a post see only later posts.
class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;

    // An observation lives as long as its token; destroying the token removes it. A token may
    // outlive its center.
    class Observation {
    public:
        ~Observation();
        Observation(const Observation&) = delete;
        Observation& operator=(const Observation&) = delete;
        // Ends the observation now; the token stays inert afterwards.
        void remove();
        bool isActive() const;

    private:
        friend class NotificationCenter;
        struct Entry;
        explicit Observation(std::shared_ptr<Entry>);
        std::shared_ptr<Entry> m_entry;
    };

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    static NotificationCenter& defaultCenter();

    // Observes notifications called name ("" for every name), from sender only (nullptr for any
    // sender). The owner (may be null) lets removeObserver(owner) end all its observations at once.
    [[nodiscard]] std::unique_ptr<Observation> addObserver(std::string_view name, const void* sender, const void* owner,
        Callback callback);
    void post(std::string_view name, const void* sender, Value userInfo = {});
    void removeObserver(const void* owner);
    // Observations that are still active.
    std::size_t observerCount() const;

    struct Impl;

private:
    std::shared_ptr<Impl> m_impl;
};

} // namespace kit
