#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace vorq::platform {

// A JSON document: null, bool, integer (int64), real (double), string
// (UTF-8), array or object. Objects keep their members in insertion order, so
// what we write is stable and reads the way it was built. Nothing here throws;
// reading a value as the wrong type gives an empty/zero value.
class JsonValue {
public:
    enum class Type { Null, Bool, Int, Double, String, Array, Object };
    using Member = std::pair<std::string, JsonValue>;

    // Deep enough for any protocol message, shallow enough that a hostile
    // document cannot exhaust the stack.
    static constexpr int kDefaultMaxDepth = 64;

    JsonValue() = default;
    JsonValue(std::nullptr_t) {}
    JsonValue(bool b) : type_(Type::Bool), bool_(b) {}
    JsonValue(double d) : type_(Type::Double), double_(d) {}
    JsonValue(const char* s) : type_(Type::String), string_(s ? s : "") {}
    JsonValue(std::string s) : type_(Type::String), string_(std::move(s)) {}
    JsonValue(std::string_view s) : type_(Type::String), string_(s) {}
    template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
    JsonValue(T v)
    {
        if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(int64_t)) {
            if (v > static_cast<uint64_t>(INT64_MAX)) {
                type_ = Type::Double;
                double_ = static_cast<double>(v);
                return;
            }
        }
        type_ = Type::Int;
        int_ = static_cast<int64_t>(v);
    }

    static JsonValue array();
    static JsonValue object();

    // Parses one complete document (surrounding white space allowed). On
    // failure returns false, leaves `out` unchanged and, when given, sets
    // `error` to "offset N: what went wrong".
    static bool parse(std::string_view text, JsonValue& out, std::string* error = nullptr,
                      int maxDepth = kDefaultMaxDepth);

    // Compact form, no white space; non-finite reals are written as null.
    std::string serialize() const;

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    bool isBool() const { return type_ == Type::Bool; }
    bool isInt() const { return type_ == Type::Int; }
    bool isDouble() const { return type_ == Type::Double; }
    bool isNumber() const { return isInt() || isDouble(); }
    bool isString() const { return type_ == Type::String; }
    bool isArray() const { return type_ == Type::Array; }
    bool isObject() const { return type_ == Type::Object; }

    bool asBool() const { return isBool() && bool_; }
    // Reals are truncated toward zero when they fit; 0 otherwise.
    int64_t asInt() const;
    double asDouble() const;
    const std::string& asString() const;

    // Typed reads that fail instead of guessing: false when the value is of
    // another type or does not fit.
    bool getInt(int64_t& out) const;
    bool getInt(int64_t& out, int64_t minimum, int64_t maximum) const;

    // Arrays.
    const std::vector<JsonValue>& items() const { return items_; }
    JsonValue& append(JsonValue value);

    // Objects. find() gives null when the key is absent or this is no object.
    const std::vector<Member>& members() const { return members_; }
    const JsonValue* find(std::string_view key) const;
    // Replaces the value of an existing key; turns a null value into an object.
    JsonValue& set(std::string_view key, JsonValue value);

    // Elements of an array or members of an object; 0 for anything else.
    size_t size() const;

    bool operator==(const JsonValue& other) const;
    bool operator!=(const JsonValue& other) const { return !(*this == other); }

private:
    void serializeTo(std::string& out) const;

    Type type_ = Type::Null;
    bool bool_ = false;
    int64_t int_ = 0;
    double double_ = 0.0;
    std::string string_;
    std::vector<JsonValue> items_;
    std::vector<Member> members_;
};

// Appends `text` as a quoted JSON string literal.
void appendJsonString(std::string& out, std::string_view text);

} // namespace vorq::platform
