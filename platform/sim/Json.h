#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace vorq::platform {

// The external-device protocol's documents. Ordered, so what we write keeps
// the member order it was built in.
using Json = nlohmann::ordered_json;

// Deep enough for any protocol message, shallow enough that a hostile
// document cannot make us build an unbounded tree.
inline constexpr int kJsonMaxDepth = 64;

// Parses one complete document (surrounding white space allowed). Never
// throws: false leaves `out` unchanged and, when given, sets `error`.
bool parseJson(std::string_view text, Json& out, std::string* error = nullptr);
// Compact form; invalid UTF-8 in strings is replaced rather than thrown on.
std::string toJsonText(const Json& value);

// A member of an object; null when absent or `object` is no object.
const Json* jsonMember(const Json& object, const char* key);
// Typed reads that fail instead of guessing: false when the value is absent,
// of another type (a real is no integer) or outside the range.
bool jsonInt(const Json* value, int64_t& out, int64_t minimum, int64_t maximum);
bool jsonString(const Json* value, std::string& out);

} // namespace vorq::platform
