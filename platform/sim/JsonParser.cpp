#include "sim/JsonParser.h"

#include <charconv>
#include <cstdio>
#include <system_error>
#include <utility>

namespace vorq::platform {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string describe(char c)
{
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) return std::string("'") + c + "'";
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", u);
    return buf;
}

} // namespace

JsonParser::JsonParser(std::string_view text, int maxDepth) : text_(text), maxDepth_(maxDepth) {}

bool JsonParser::parse(JsonValue& out)
{
    pos_ = 0;
    error_.clear();
    skipWhitespace();
    if (atEnd()) return fail("empty document");
    if (!parseValue(out, 0)) return false;
    skipWhitespace();
    if (!atEnd()) return fail("unexpected " + describe(peek()) + " after the value");
    return true;
}

bool JsonParser::fail(const std::string& message) { return fail(pos_, message); }

bool JsonParser::fail(size_t offset, const std::string& message)
{
    if (error_.empty()) error_ = "offset " + std::to_string(offset) + ": " + message;
    return false;
}

void JsonParser::skipWhitespace()
{
    while (!atEnd()) {
        char c = text_[pos_];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
        ++pos_;
    }
}

bool JsonParser::parseValue(JsonValue& out, int depth)
{
    if (atEnd()) return fail("unexpected end of input");
    char c = peek();
    switch (c) {
    case '{': return parseObject(out, depth + 1);
    case '[': return parseArray(out, depth + 1);
    case '"': {
        std::string s;
        if (!parseString(s)) return false;
        out = JsonValue(std::move(s));
        return true;
    }
    case 't': return parseLiteral("true", JsonValue(true), out);
    case 'f': return parseLiteral("false", JsonValue(false), out);
    case 'n': return parseLiteral("null", JsonValue(), out);
    default:
        if (c == '-' || isDigit(c)) return parseNumber(out);
        return fail("unexpected " + describe(c));
    }
}

bool JsonParser::parseLiteral(std::string_view word, JsonValue value, JsonValue& out)
{
    if (text_.substr(pos_, word.size()) != word) return fail("invalid literal");
    pos_ += word.size();
    out = std::move(value);
    return true;
}

bool JsonParser::parseObject(JsonValue& out, int depth)
{
    if (depth > maxDepth_) return fail("nested deeper than " + std::to_string(maxDepth_) + " levels");
    ++pos_; // '{'
    JsonValue obj = JsonValue::object();
    skipWhitespace();
    if (peek() == '}') {
        ++pos_;
        out = std::move(obj);
        return true;
    }
    for (;;) {
        skipWhitespace();
        if (peek() != '"') return fail(atEnd() ? "unexpected end of input in an object" : "expected a member name");
        std::string key;
        if (!parseString(key)) return false;
        skipWhitespace();
        if (peek() != ':') return fail("expected ':' after a member name");
        ++pos_;
        skipWhitespace();
        JsonValue member;
        if (!parseValue(member, depth)) return false;
        // A repeated name keeps the last value, as most readers do.
        obj.set(key, std::move(member));
        skipWhitespace();
        if (peek() == ',') {
            ++pos_;
            continue;
        }
        if (peek() == '}') {
            ++pos_;
            out = std::move(obj);
            return true;
        }
        return fail(atEnd() ? "unexpected end of input in an object" : "expected ',' or '}' in an object");
    }
}

bool JsonParser::parseArray(JsonValue& out, int depth)
{
    if (depth > maxDepth_) return fail("nested deeper than " + std::to_string(maxDepth_) + " levels");
    ++pos_; // '['
    JsonValue arr = JsonValue::array();
    skipWhitespace();
    if (peek() == ']') {
        ++pos_;
        out = std::move(arr);
        return true;
    }
    for (;;) {
        skipWhitespace();
        JsonValue item;
        if (!parseValue(item, depth)) return false;
        arr.append(std::move(item));
        skipWhitespace();
        if (peek() == ',') {
            ++pos_;
            continue;
        }
        if (peek() == ']') {
            ++pos_;
            out = std::move(arr);
            return true;
        }
        return fail(atEnd() ? "unexpected end of input in an array" : "expected ',' or ']' in an array");
    }
}

bool JsonParser::parseString(std::string& out)
{
    size_t start = pos_;
    ++pos_; // opening quote
    for (;;) {
        if (atEnd()) return fail(start, "unterminated string");
        char c = text_[pos_];
        if (c == '"') {
            ++pos_;
            return true;
        }
        if (static_cast<unsigned char>(c) < 0x20) return fail("control character " + describe(c) + " in a string");
        if (c != '\\') {
            out += c;
            ++pos_;
            continue;
        }
        ++pos_;
        if (atEnd()) return fail(start, "unterminated string");
        char e = text_[pos_];
        switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u':
            if (!parseUnicodeEscape(out)) return false;
            continue; // parseUnicodeEscape moved past the digits
        default: return fail("invalid escape \\" + std::string(1, e));
        }
        ++pos_;
    }
}

bool JsonParser::parseHex4(uint32_t& out)
{
    if (pos_ + 4 > text_.size()) return fail("truncated \\u escape");
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        char c = text_[pos_ + i];
        uint32_t d;
        if (c >= '0' && c <= '9') d = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') d = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') d = static_cast<uint32_t>(c - 'A' + 10);
        else return fail(pos_ + i, "invalid hex digit in a \\u escape");
        v = (v << 4) | d;
    }
    pos_ += 4;
    out = v;
    return true;
}

// Called with pos_ on the 'u'; leaves pos_ after the last hex digit.
bool JsonParser::parseUnicodeEscape(std::string& out)
{
    size_t escapeStart = pos_ - 1;
    ++pos_;
    uint32_t cp;
    if (!parseHex4(cp)) return false;
    if (cp >= 0xDC00 && cp <= 0xDFFF) return fail(escapeStart, "unpaired low surrogate in a \\u escape");
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        // UTF-16 outside the BMP: the low half must follow immediately.
        if (text_.substr(pos_, 2) != "\\u") return fail(escapeStart, "unpaired high surrogate in a \\u escape");
        pos_ += 2;
        uint32_t low;
        if (!parseHex4(low)) return false;
        if (low < 0xDC00 || low > 0xDFFF) return fail(escapeStart, "unpaired high surrogate in a \\u escape");
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(out, cp);
    return true;
}

bool JsonParser::parseNumber(JsonValue& out)
{
    size_t start = pos_;
    bool integral = true;
    if (peek() == '-') ++pos_;
    if (peek() == '0') {
        ++pos_;
        if (isDigit(peek())) return fail("leading zero in a number");
    } else if (isDigit(peek())) {
        while (isDigit(peek())) ++pos_;
    } else {
        return fail("expected a digit");
    }
    if (peek() == '.') {
        integral = false;
        ++pos_;
        if (!isDigit(peek())) return fail("expected a digit after '.'");
        while (isDigit(peek())) ++pos_;
    }
    if (peek() == 'e' || peek() == 'E') {
        integral = false;
        ++pos_;
        if (peek() == '+' || peek() == '-') ++pos_;
        if (!isDigit(peek())) return fail("expected a digit in the exponent");
        while (isDigit(peek())) ++pos_;
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    if (integral) {
        int64_t v = 0;
        auto res = std::from_chars(first, last, v);
        if (res.ec == std::errc() && res.ptr == last) {
            out = JsonValue(v);
            return true;
        }
        // Too large for int64: fall through and keep it as a real.
    }
    double d = 0.0;
    auto res = std::from_chars(first, last, d);
    if (res.ec == std::errc::result_out_of_range) return fail(start, "number out of range");
    if (res.ec != std::errc() || res.ptr != last) return fail(start, "invalid number");
    out = JsonValue(d);
    return true;
}

} // namespace vorq::platform
