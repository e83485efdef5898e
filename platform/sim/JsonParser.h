#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/JsonValue.h"

namespace vorq::platform {

// Recursive-descent reader for one JSON document (RFC 8259). Strict: no
// comments, no trailing commas, no leading zeros, nothing after the value but
// white space. Used through JsonValue::parse.
class JsonParser {
public:
    JsonParser(std::string_view text, int maxDepth);

    bool parse(JsonValue& out);
    // "offset N: what went wrong" after a failed parse().
    const std::string& error() const { return error_; }

private:
    bool parseValue(JsonValue& out, int depth);
    bool parseObject(JsonValue& out, int depth);
    bool parseArray(JsonValue& out, int depth);
    bool parseString(std::string& out);
    bool parseUnicodeEscape(std::string& out);
    bool parseHex4(uint32_t& out);
    bool parseNumber(JsonValue& out);
    bool parseLiteral(std::string_view word, JsonValue value, JsonValue& out);

    void skipWhitespace();
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    bool fail(const std::string& message);
    bool fail(size_t offset, const std::string& message);

    std::string_view text_;
    size_t pos_ = 0;
    int maxDepth_;
    std::string error_;
};

} // namespace vorq::platform
