#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

// The listeners of one kind of change: every listener added hears each notification, in the order
// they were added. A key (usually the listener's own address) names a registration for remove;
// adding a key again replaces its callback. A callback may add or remove other registrations but
// not its own while it runs.
template <class... Args> class TNotificationList {
public:
    void add(const void* key, std::function<void(Args...)> callback) {
        auto found =
            std::find_if(listeners_.begin(), listeners_.end(), [key](const auto& l) { return l.first == key; });
        if (found != listeners_.end())
            found->second = std::move(callback);
        else
            listeners_.emplace_back(key, std::move(callback));
    }
    void remove(const void* key) {
        std::erase_if(listeners_, [key](const auto& l) { return l.first == key; });
    }
    explicit operator bool() const { return !listeners_.empty(); }
    void operator()(Args... args) const {
        for (std::size_t i = 0; i < listeners_.size(); ++i) listeners_[i].second(args...);
    }

private:
    std::vector<std::pair<const void*, std::function<void(Args...)>>> listeners_;
};
