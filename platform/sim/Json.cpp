#include "sim/Json.h"

namespace vorq::platform {

bool parseJson(std::string_view text, Json& out, std::string* error)
{
    bool tooDeep = false;
    Json::parser_callback_t limitDepth = [&tooDeep](int depth, Json::parse_event_t, Json&) {
        if (depth >= kJsonMaxDepth) tooDeep = true;
        return !tooDeep;
    };
    Json parsed;
    try {
        parsed = Json::parse(text.begin(), text.end(), limitDepth);
    } catch (const Json::exception& e) {
        if (error) *error = e.what();
        return false;
    }
    if (tooDeep) {
        if (error) *error = "nested deeper than " + std::to_string(kJsonMaxDepth) + " levels";
        return false;
    }
    out = std::move(parsed);
    return true;
}

std::string toJsonText(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

const Json* jsonMember(const Json& object, const char* key)
{
    if (!object.is_object()) return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

bool jsonInt(const Json* value, int64_t& out, int64_t minimum, int64_t maximum)
{
    if (!value || !value->is_number_integer()) return false;
    int64_t n;
    if (value->is_number_unsigned()) {
        uint64_t u = value->get<uint64_t>();
        if (u > static_cast<uint64_t>(INT64_MAX)) return false;
        n = static_cast<int64_t>(u);
    } else {
        n = value->get<int64_t>();
    }
    if (n < minimum || n > maximum) return false;
    out = n;
    return true;
}

bool jsonString(const Json* value, std::string& out)
{
    if (!value || !value->is_string()) return false;
    out = value->get<std::string>();
    return true;
}

} // namespace vorq::platform
