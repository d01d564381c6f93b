// A small JSON writer: two-space indentation, UTF-8 strings, the number rules of the
// compatibility report.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalorix {

class JsonWriter {
public:
    void beginObject(std::string_view key = {});
    void endObject();
    void beginArray(std::string_view key = {});
    void endArray();
    // A member when key is given inside an object; an element inside an array.
    void string(std::string_view key, std::string_view utf8);
    void string(std::string_view key, std::wstring_view text);
    void number(std::string_view key, double value);
    void boolean(std::string_view key, bool value);

    // The document; after the root is closed it ends with one LF.
    const std::string& text() const { return out_; }
    // False once a member without a name was refused: it was left out (with
    // everything inside it), so the text is still valid JSON.
    bool ok() const { return refused_ == 0; }

    static std::string Escape(std::string_view utf8);
    static std::string Number(double value);

private:
    // False (and the value is dropped) for a member without a name inside an object.
    bool beforeValue(std::string_view key);
    void open(char bracket, std::string_view key);
    void close(char bracket);

    std::string out_;
    std::vector<bool> empty_;     // one flag per open container: no member yet
    std::vector<bool> isObject_;  // one flag per open container: an object, not an array
    size_t skipDepth_ = 0;        // containers opened inside a refused member
    size_t refused_ = 0;
};

}  // namespace kalorix
