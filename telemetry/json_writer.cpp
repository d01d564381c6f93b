#include "telemetry/json_writer.h"

#include <cmath>
#include <cstdio>

#include "sensors/text.h"

namespace kalorix {

std::string JsonWriter::Escape(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out.push_back('"');
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0x22 || c == 0x5C) {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof(buf), "\\u%04x", c);
            out += buf;
        } else {
            out.push_back(ch);
        }
    }
    out.push_back('"');
    return out;
}

std::string JsonWriter::Number(double v) {
    if (!std::isfinite(v)) return "null";  // JSON has no NaN or infinity
    char buf[64];
    if (std::fabs(v) < 1e15 && v == std::trunc(v)) std::snprintf(buf, sizeof(buf), "%.0f", v);
    else std::snprintf(buf, sizeof(buf), "%.10g", v);
    return buf;
}

bool JsonWriter::beforeValue(std::string_view key) {
    if (skipDepth_ > 0) return false;
    if (empty_.empty()) return true;  // the root value
    if (isObject_.back() && key.empty()) {
        ++refused_;  // a member needs a name; "": 1 would be legal but means a damaged key
        return false;
    }
    if (!empty_.back()) out_.push_back(',');
    empty_.back() = false;
    out_.push_back('\n');
    out_.append(2 * empty_.size(), ' ');
    if (isObject_.back()) {
        out_ += Escape(key);
        out_ += ": ";
    }
    return true;
}

void JsonWriter::open(char bracket, std::string_view key) {
    if (!beforeValue(key)) {
        ++skipDepth_;
        return;
    }
    out_.push_back(bracket);
    empty_.push_back(true);
    isObject_.push_back(bracket == '{');
}

void JsonWriter::close(char bracket) {
    if (skipDepth_ > 0) {
        --skipDepth_;
        return;
    }
    if (empty_.empty()) return;
    const bool wasEmpty = empty_.back();
    empty_.pop_back();
    isObject_.pop_back();
    if (!wasEmpty) {
        out_.push_back('\n');
        out_.append(2 * empty_.size(), ' ');
    }
    out_.push_back(bracket);
    if (empty_.empty()) out_.push_back('\n');
}

void JsonWriter::beginObject(std::string_view key) { open('{', key); }
void JsonWriter::endObject() { close('}'); }
void JsonWriter::beginArray(std::string_view key) { open('[', key); }
void JsonWriter::endArray() { close(']'); }

void JsonWriter::string(std::string_view key, std::string_view utf8) {
    if (beforeValue(key)) out_ += Escape(utf8);
}

void JsonWriter::string(std::string_view key, std::wstring_view text) { string(key, WideToUtf8(text)); }

void JsonWriter::number(std::string_view key, double value) {
    if (beforeValue(key)) out_ += Number(value);
}

void JsonWriter::boolean(std::string_view key, bool value) {
    if (beforeValue(key)) out_ += value ? "true" : "false";
}

}  // namespace kalorix
