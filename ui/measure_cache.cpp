#include "ui/measure_cache.h"

#include <cstring>

namespace kalorix {

float MeasureCache::Height(std::wstring_view text, float width, int style, const Measure& measure) {
    // Key: the width's bits and the style, then the text.
    std::wstring key(sizeof(float) + sizeof(int), L'\0');
    unsigned char raw[sizeof(float) + sizeof(int)];
    std::memcpy(raw, &width, sizeof(float));
    std::memcpy(raw + sizeof(float), &style, sizeof(int));
    for (size_t i = 0; i < sizeof raw; ++i) key[i] = static_cast<wchar_t>(raw[i] + 1);
    key.append(text);
    if (auto it = entries_.find(key); it != entries_.end()) return it->second;
    const float h = measure(text, width, style);
    if (h <= 0 && !text.empty()) return h;  // a failed measurement: ask again next time
    if (entries_.size() >= kCapacity) entries_.clear();
    entries_.emplace(std::move(key), h);
    return h;
}

}  // namespace kalorix
