// Heights of wrapped paragraphs remembered between paint passes. The pages
// size their cards from the text before drawing it, and the texts rarely
// change from one pass to the next, so a measurement is made once per text,
// width and style. Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kalorix {

class MeasureCache {
public:
    // The cache starts over when it holds this many entries, so texts that
    // keep changing (a clock, a status line) cannot make it grow without end.
    static constexpr size_t kCapacity = 512;

    using Measure = std::function<float(std::wstring_view text, float width, int style)>;

    // The remembered height, or measure's answer, which is then remembered
    // (except a zero height for a non-empty text: that measurement failed).
    float Height(std::wstring_view text, float width, int style, const Measure& measure);
    size_t size() const { return entries_.size(); }
    void Clear() { entries_.clear(); }

private:
    std::unordered_map<std::wstring, float> entries_;  // key: width and style bits, then the text
};

}  // namespace kalorix
