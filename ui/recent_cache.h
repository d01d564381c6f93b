// A handful of values kept by key, the least recently used one dropped first
// when full: the tray keeps the icons it rendered, since a temperature moves
// among a few numbers and rendering one costs far more than looking it up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kalorix {

template <typename Value>
class RecentCache {
public:
    explicit RecentCache(size_t capacity) : capacity_(capacity ? capacity : 1) {}

    // The value for key (now the most recently used), or nullptr.
    Value* find(const std::wstring& key) {
        for (Entry& e : entries_)
            if (e.key == key) {
                e.used = ++clock_;
                return &e.value;
            }
        return nullptr;
    }

    // Stores value under key (replacing one with that key), dropping the least
    // recently used entry when full. The reference stays valid until the next insert.
    Value& insert(const std::wstring& key, Value value) {
        if (Value* existing = find(key)) return *existing = std::move(value);
        if (entries_.size() >= capacity_) entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(oldest()));
        entries_.push_back(Entry{key, std::move(value), ++clock_});
        return entries_.back().value;
    }

    size_t size() const { return entries_.size(); }
    void clear() { entries_.clear(); }

private:
    struct Entry {
        std::wstring key;
        Value value;
        uint64_t used = 0;
    };
    size_t oldest() const {
        size_t at = 0;
        for (size_t i = 1; i < entries_.size(); ++i)
            if (entries_[i].used < entries_[at].used) at = i;
        return at;
    }

    size_t capacity_;
    uint64_t clock_ = 0;
    std::vector<Entry> entries_;
};

}  // namespace kalorix
