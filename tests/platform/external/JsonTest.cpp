#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "sim/Json.h"

using vorq::platform::Json;
using vorq::platform::jsonInt;
using vorq::platform::jsonMember;
using vorq::platform::jsonString;
using vorq::platform::kJsonMaxDepth;
using vorq::platform::parseJson;
using vorq::platform::toJsonText;

namespace {

Json parseOk(const std::string& text)
{
    Json v;
    std::string error;
    EXPECT_TRUE(parseJson(text, v, &error)) << text << ": " << error;
    return v;
}

std::string parseError(const std::string& text)
{
    Json v = 42;
    std::string error;
    EXPECT_FALSE(parseJson(text, v, &error)) << text;
    EXPECT_EQ(v, Json(42)) << "a failed parse must leave the output alone";
    EXPECT_FALSE(error.empty());
    return error;
}

} // namespace

TEST(Json, StringsDecodeToUtf8AndRoundTrip)
{
    Json v = parseOk(R"("q\" b\\ s\/ \b\f\n\r\t \u00e9 \u4e2d \ud83d\ude00 \u0000")");
    EXPECT_EQ(v.get<std::string>(), std::string("q\" b\\ s/ \b\f\n\r\t \xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80 ") + '\0');
    EXPECT_EQ(parseOk("\"麦克风\"").get<std::string>(), "麦克风");

    for (const char* bad : {R"("\ud83d")", R"("\ud83dx")", R"("\ude00")", R"("\u12")", R"("\u12g4")", R"("\x")",
                            "\"tab\there\"", "\"open"})
        parseError(bad);

    std::string text("\"\\/\b\f\n\r\t\x01\x1f \xE4\xB8\xAD");
    std::string json = toJsonText(Json(text));
    EXPECT_EQ(json, "\"\\\"\\\\/\\b\\f\\n\\r\\t\\u0001\\u001f \xE4\xB8\xAD\"");
    EXPECT_EQ(parseOk(json).get<std::string>(), text);
    // Bytes that are no UTF-8 are written, not thrown on.
    EXPECT_FALSE(toJsonText(Json(std::string("a\xFF"))).empty());
}

TEST(Json, TypedReadsRefuseWrongTypesAndRanges)
{
    Json v = parseOk(R"({"n":300,"s":"7","r":7.0,"max":9223372036854775807,"big":9223372036854775808,"neg":-5})");
    int64_t out = -1;
    EXPECT_TRUE(jsonInt(jsonMember(v, "n"), out, 0, 65535));
    EXPECT_EQ(out, 300);
    EXPECT_FALSE(jsonInt(jsonMember(v, "n"), out, 0, 255));
    EXPECT_FALSE(jsonInt(jsonMember(v, "s"), out, INT64_MIN, INT64_MAX));
    EXPECT_FALSE(jsonInt(jsonMember(v, "r"), out, INT64_MIN, INT64_MAX));
    EXPECT_FALSE(jsonInt(jsonMember(v, "big"), out, INT64_MIN, INT64_MAX)) << "past int64 is not wrapped";
    EXPECT_FALSE(jsonInt(jsonMember(v, "absent"), out, INT64_MIN, INT64_MAX));
    EXPECT_EQ(out, 300);
    EXPECT_TRUE(jsonInt(jsonMember(v, "max"), out, INT64_MIN, INT64_MAX));
    EXPECT_EQ(out, INT64_MAX);
    EXPECT_TRUE(jsonInt(jsonMember(v, "neg"), out, -10, 0));
    EXPECT_EQ(out, -5);

    std::string s = "unchanged";
    EXPECT_FALSE(jsonString(jsonMember(v, "n"), s));
    EXPECT_EQ(s, "unchanged");
    EXPECT_TRUE(jsonString(jsonMember(v, "s"), s));
    EXPECT_EQ(s, "7");
    EXPECT_EQ(jsonMember(Json("text"), "n"), nullptr);

    for (const char* bad : {"01", "1.", ".5", "-", "1e", "1e+", "+1", "0x10", "1e999", "NaN", "Infinity"})
        parseError(bad);
    EXPECT_EQ(toJsonText(Json(2.0)), "2.0");
    EXPECT_EQ(toJsonText(Json(uint32_t{4000000000u})), "4000000000");
}

TEST(Json, ObjectsKeepOrderAndLastDuplicateWins)
{
    Json v = parseOk(R"( { "op" : "xu", "id":"cam0", "unit":4, "op":"list", "a":[1,true,null,{}], "e":[] } )");
    EXPECT_EQ(toJsonText(v), R"({"op":"list","id":"cam0","unit":4,"a":[1,true,null,{}],"e":[]})");
}

TEST(Json, NestingIsBounded)
{
    auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    parseOk(nested(kJsonMaxDepth));
    EXPECT_NE(parseError(nested(kJsonMaxDepth + 1)).find("nested deeper"), std::string::npos);
    // Far too deep must fail cleanly, not overflow the stack.
    parseError(std::string(200000, '['));
    std::string objects;
    for (int i = 0; i < 100000; ++i) objects += R"({"a":)";
    parseError(objects + "1" + std::string(100000, '}'));
}

TEST(Json, StructuralErrorsAndTrailingGarbage)
{
    for (const char* bad : {"{} x", "{}{}", "", "   ", "[1,]", "[1 2]", R"({"a":1,})", R"({"a" 1})", "{a:1}",
                            R"({"a":1)", "tru", "nul", "[true false]", "// comment\n{}"})
        parseError(bad);
    EXPECT_TRUE(parseOk(" \r\n\t{}\r\n").is_object());
}
