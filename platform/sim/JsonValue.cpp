#include "sim/JsonValue.h"

#include <charconv>
#include <cmath>

#include "sim/JsonParser.h"

namespace vorq::platform {

JsonValue JsonValue::array()
{
    JsonValue v;
    v.type_ = Type::Array;
    return v;
}

JsonValue JsonValue::object()
{
    JsonValue v;
    v.type_ = Type::Object;
    return v;
}

bool JsonValue::parse(std::string_view text, JsonValue& out, std::string* error, int maxDepth)
{
    JsonParser parser(text, maxDepth);
    JsonValue result;
    if (!parser.parse(result)) {
        if (error) *error = parser.error();
        return false;
    }
    out = std::move(result);
    return true;
}

int64_t JsonValue::asInt() const
{
    if (isInt()) return int_;
    // 2^63 is exactly representable; anything at or past it does not fit.
    if (isDouble() && std::isfinite(double_) && double_ > -9223372036854775808.0 && double_ < 9223372036854775808.0)
        return static_cast<int64_t>(double_);
    return 0;
}

double JsonValue::asDouble() const
{
    if (isDouble()) return double_;
    if (isInt()) return static_cast<double>(int_);
    return 0.0;
}

const std::string& JsonValue::asString() const
{
    static const std::string empty;
    return isString() ? string_ : empty;
}

bool JsonValue::getInt(int64_t& out) const
{
    if (!isInt()) return false;
    out = int_;
    return true;
}

bool JsonValue::getInt(int64_t& out, int64_t minimum, int64_t maximum) const
{
    if (!isInt() || int_ < minimum || int_ > maximum) return false;
    out = int_;
    return true;
}

JsonValue& JsonValue::append(JsonValue value)
{
    if (type_ == Type::Null) type_ = Type::Array;
    if (type_ == Type::Array) items_.push_back(std::move(value));
    return *this;
}

const JsonValue* JsonValue::find(std::string_view key) const
{
    if (!isObject()) return nullptr;
    for (const auto& m : members_)
        if (m.first == key) return &m.second;
    return nullptr;
}

JsonValue& JsonValue::set(std::string_view key, JsonValue value)
{
    if (type_ == Type::Null) type_ = Type::Object;
    if (type_ != Type::Object) return *this;
    for (auto& m : members_)
        if (m.first == key) {
            m.second = std::move(value);
            return *this;
        }
    members_.emplace_back(std::string(key), std::move(value));
    return *this;
}

size_t JsonValue::size() const
{
    if (isArray()) return items_.size();
    if (isObject()) return members_.size();
    return 0;
}

bool JsonValue::operator==(const JsonValue& other) const
{
    if (type_ != other.type_) return false;
    switch (type_) {
    case Type::Null: return true;
    case Type::Bool: return bool_ == other.bool_;
    case Type::Int: return int_ == other.int_;
    case Type::Double: return double_ == other.double_;
    case Type::String: return string_ == other.string_;
    case Type::Array: return items_ == other.items_;
    case Type::Object: return members_ == other.members_;
    }
    return false;
}

std::string JsonValue::serialize() const
{
    std::string out;
    serializeTo(out);
    return out;
}

void JsonValue::serializeTo(std::string& out) const
{
    switch (type_) {
    case Type::Null: out += "null"; break;
    case Type::Bool: out += bool_ ? "true" : "false"; break;
    case Type::Int: out += std::to_string(int_); break;
    case Type::Double: {
        if (!std::isfinite(double_)) {
            out += "null";
            break;
        }
        // to_chars ignores the C locale (a Qt program sets LC_NUMERIC from the
        // user's environment, which may use a decimal comma) and round-trips.
        char buf[32];
        auto res = std::to_chars(buf, buf + sizeof buf, double_);
        std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
        out += text;
        // Keep it a real on the way back in: "2" would come back as an integer.
        if (text.find_first_of(".eE") == std::string_view::npos) out += ".0";
        break;
    }
    case Type::String: appendJsonString(out, string_); break;
    case Type::Array: {
        out += '[';
        for (size_t i = 0; i < items_.size(); ++i) {
            if (i) out += ',';
            items_[i].serializeTo(out);
        }
        out += ']';
        break;
    }
    case Type::Object: {
        out += '{';
        for (size_t i = 0; i < members_.size(); ++i) {
            if (i) out += ',';
            appendJsonString(out, members_[i].first);
            out += ':';
            members_[i].second.serializeTo(out);
        }
        out += '}';
        break;
    }
    }
}

void appendJsonString(std::string& out, std::string_view text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 0xf];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

} // namespace vorq::platform
