// Values the toolkit remembers from one paint pass to the next (text layouts,
// measured widths), keyed by a text, its style, the box it is laid out in and a
// few flags. Most texts of a page do not change between passes, so each is laid
// out once; an entry not used for two passes is dropped, and the cache starts
// over when it reaches its capacity, so texts that keep changing (a clock, a
// reading) cannot make it grow without end. Main thread only. Portable.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kalorix {

struct TextKey {
    std::wstring text;
    int style = 0;
    float width = 0, height = 0;
    int flags = 0;  // alignment, wrapping: whatever else shapes the value
    bool operator==(const TextKey& o) const {
        return style == o.style && flags == o.flags && std::memcmp(&width, &o.width, sizeof width) == 0 &&
               std::memcmp(&height, &o.height, sizeof height) == 0 && text == o.text;
    }
};

struct TextKeyHash {
    size_t operator()(const TextKey& k) const {
        size_t h = std::hash<std::wstring>()(k.text);
        uint32_t w = 0, hh = 0;
        std::memcpy(&w, &k.width, sizeof w);
        std::memcpy(&hh, &k.height, sizeof hh);
        for (uint32_t part : {static_cast<uint32_t>(k.style), w, hh, static_cast<uint32_t>(k.flags)})
            h ^= part + 0x9E3779B9u + (h << 6) + (h >> 2);
        return h;
    }
};

template <typename Value>
class FrameCache {
public:
    static constexpr size_t kCapacity = 4096;
    static constexpr uint64_t kKeepPasses = 2;

    // The remembered value, marked as used in this pass; nullptr when absent.
    Value* Find(const TextKey& key) {
        auto it = entries_.find(key);
        if (it == entries_.end()) return nullptr;
        it->second.lastPass = pass_;
        return &it->second.value;
    }
    Value& Insert(TextKey key, Value value) {
        if (entries_.size() >= kCapacity) entries_.clear();
        Entry& e = entries_[std::move(key)];
        e.value = std::move(value);
        e.lastPass = pass_;
        return e.value;
    }
    // Starts a pass; drops what the last kKeepPasses passes did not use.
    void NextPass() {
        ++pass_;
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (pass_ - it->second.lastPass > kKeepPasses) it = entries_.erase(it);
            else ++it;
        }
    }
    void Clear() { entries_.clear(); }
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        Value value{};
        uint64_t lastPass = 0;
    };
    std::unordered_map<TextKey, Entry, TextKeyHash> entries_;
    uint64_t pass_ = 0;
};

}  // namespace kalorix
