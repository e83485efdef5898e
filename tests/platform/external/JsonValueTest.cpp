#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "sim/JsonValue.h"

using vorq::platform::JsonValue;

namespace {

JsonValue parseOk(const std::string& text)
{
    JsonValue v;
    std::string error;
    EXPECT_TRUE(JsonValue::parse(text, v, &error)) << text << ": " << error;
    return v;
}

std::string parseError(const std::string& text)
{
    JsonValue v(42);
    std::string error;
    EXPECT_FALSE(JsonValue::parse(text, v, &error)) << text;
    EXPECT_EQ(v, JsonValue(42)) << "a failed parse must leave the output alone";
    return error;
}

} // namespace

TEST(JsonValue, StringEscapesDecodeToUtf8)
{
    JsonValue v = parseOk(R"("q\" b\\ s\/ \b\f\n\r\t \u00e9 \u4e2d \ud83d\ude00 \u0000")");
    EXPECT_EQ(v.asString(), std::string("q\" b\\ s/ \b\f\n\r\t \xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80 ") + '\0');
    // Raw UTF-8 passes through untouched.
    EXPECT_EQ(parseOk("\"麦克风\"").asString(), "麦克风");
}

TEST(JsonValue, BadStringsAreRejected)
{
    parseError(R"("\ud83d")");        // high surrogate alone
    parseError(R"("\ud83dx")");       // high surrogate followed by text
    parseError(R"("\ud83d\u0041")");  // high surrogate followed by a non-surrogate
    parseError(R"("\ude00")");        // low surrogate alone
    parseError(R"("\u12")");          // truncated
    parseError(R"("\u12g4")");        // not hex
    parseError(R"("\x")");            // unknown escape
    parseError("\"tab\there\"");      // raw control character
    EXPECT_NE(parseError("\"open").find("unterminated string"), std::string::npos);
}

TEST(JsonValue, SerializedStringsRoundTrip)
{
    std::string text("\"\\/\b\f\n\r\t\x01\x1f \xE4\xB8\xAD");
    std::string json = JsonValue(text).serialize();
    EXPECT_EQ(json, "\"\\\"\\\\/\\b\\f\\n\\r\\t\\u0001\\u001f \xE4\xB8\xAD\"");
    EXPECT_EQ(parseOk(json).asString(), text);
}

TEST(JsonValue, NumbersKeepIntegersExact)
{
    EXPECT_EQ(parseOk("9223372036854775807").asInt(), INT64_MAX);
    EXPECT_EQ(parseOk("-9223372036854775808").asInt(), INT64_MIN);
    EXPECT_TRUE(parseOk("-0").isInt());
    // Past int64 a number is kept as a real rather than wrapped.
    JsonValue big = parseOk("9223372036854775808");
    EXPECT_TRUE(big.isDouble());
    EXPECT_EQ(big.asInt(), 0);
    EXPECT_DOUBLE_EQ(parseOk("1.5e3").asDouble(), 1500.0);
    EXPECT_DOUBLE_EQ(parseOk("-2.5E-1").asDouble(), -0.25);

    for (const char* bad : {"01", "1.", ".5", "-", "1e", "1e+", "+1", "0x10", "1e999", "NaN", "Infinity"})
        parseError(bad);

    // Reals stay reals through serialize/parse, integers stay integers.
    EXPECT_EQ(JsonValue(2.0).serialize(), "2.0");
    EXPECT_TRUE(parseOk(JsonValue(2.0).serialize()).isDouble());
    EXPECT_EQ(parseOk(JsonValue(0.1).serialize()).asDouble(), 0.1);
    EXPECT_EQ(JsonValue(uint32_t{4000000000u}).serialize(), "4000000000");
    EXPECT_EQ(JsonValue(1.0 / 0.0).serialize(), "null");
}

TEST(JsonValue, TypedReadsRefuseWrongTypesAndRanges)
{
    JsonValue v = parseOk(R"({"n":300,"s":"7","r":7.0})");
    int64_t out = -1;
    EXPECT_TRUE(v.find("n")->getInt(out, 0, 65535));
    EXPECT_EQ(out, 300);
    EXPECT_FALSE(v.find("n")->getInt(out, 0, 255));
    EXPECT_FALSE(v.find("s")->getInt(out));
    EXPECT_FALSE(v.find("r")->getInt(out));
    EXPECT_EQ(out, 300);
    EXPECT_EQ(v.find("absent"), nullptr);
    EXPECT_EQ(JsonValue("text").find("n"), nullptr);
    EXPECT_EQ(v.find("n")->asString(), "");
    EXPECT_EQ(v.find("s")->asInt(), 0);
}

TEST(JsonValue, ObjectsKeepOrderAndLastDuplicateWins)
{
    JsonValue v = parseOk(R"( { "op" : "xu", "id":"cam0", "unit":4, "op":"list", "a":[1,true,null,{}], "e":[] } )");
    EXPECT_EQ(v.serialize(), R"({"op":"list","id":"cam0","unit":4,"a":[1,true,null,{}],"e":[]})");
    EXPECT_EQ(v.size(), 5u);

    JsonValue built = JsonValue::object();
    built.set("z", 1).set("a", "x").set("z", 2);
    EXPECT_EQ(built.serialize(), R"({"z":2,"a":"x"})");
}

TEST(JsonValue, NestingIsBounded)
{
    auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    parseOk(nested(JsonValue::kDefaultMaxDepth));
    EXPECT_NE(parseError(nested(JsonValue::kDefaultMaxDepth + 1)).find("nested deeper"), std::string::npos);
    // Far too deep must fail cleanly, not overflow the stack.
    parseError(std::string(200000, '['));
    std::string objects;
    for (int i = 0; i < 100000; ++i) objects += R"({"a":)";
    parseError(objects + "1" + std::string(100000, '}'));
    // The limit is the caller's to choose.
    JsonValue v;
    EXPECT_FALSE(JsonValue::parse(R"({"a":[1]})", v, nullptr, 1));
    EXPECT_TRUE(JsonValue::parse(R"({"a":[1]})", v, nullptr, 2));
}

TEST(JsonValue, StructuralErrorsAndTrailingGarbage)
{
    EXPECT_NE(parseError("{} x").find("offset 3"), std::string::npos);
    parseError("{}{}");
    parseError("");
    parseError("   ");
    parseError("[1,]");
    parseError("[1 2]");
    parseError(R"({"a":1,})");
    parseError(R"({"a" 1})");
    parseError("{a:1}");
    parseError(R"({"a":1)");
    parseError("tru");
    parseError("nul");
    parseError("[true false]");
    parseError("// comment\n{}");
    EXPECT_TRUE(parseOk(" \r\n\t{}\r\n").isObject());
}
