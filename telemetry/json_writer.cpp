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
    char buf[64];
    if (std::fabs(v) < 1e15 && v == std::trunc(v)) std::snprintf(buf, sizeof(buf), "%.0f", v);
    else std::snprintf(buf, sizeof(buf), "%.10g", v);
    return buf;
}

void JsonWriter::beforeValue(std::string_view key) {
    if (empty_.empty()) return;  // the root value
    if (!empty_.back()) out_.push_back(',');
    empty_.back() = false;
    out_.push_back('\n');
    out_.append(2 * empty_.size(), ' ');
    if (!key.empty()) {
        out_ += Escape(key);
        out_ += ": ";
    }
}

void JsonWriter::open(char bracket, std::string_view key) {
    beforeValue(key);
    out_.push_back(bracket);
    empty_.push_back(true);
}

void JsonWriter::close(char bracket) {
    if (empty_.empty()) return;
    const bool wasEmpty = empty_.back();
    empty_.pop_back();
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
    beforeValue(key);
    out_ += Escape(utf8);
}

void JsonWriter::string(std::string_view key, std::wstring_view text) { string(key, WideToUtf8(text)); }

void JsonWriter::number(std::string_view key, double value) {
    beforeValue(key);
    out_ += Number(value);
}

void JsonWriter::boolean(std::string_view key, bool value) {
    beforeValue(key);
    out_ += value ? "true" : "false";
}

}  // namespace kalorix
