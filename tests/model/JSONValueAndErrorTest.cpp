#include "model/JSONValue.h"
#include "model/JsonCodec.h"
#include "model/SyncError.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

TEST(JSONValue, DecodesEveryCaseAndEncodesItBack)
{
    const auto value = decodeJson<JSONValue>(
        R"({"null":null,"one":1,"t":true,"s":"1","empty_a":[],"empty_o":{},"deep":[{"a":[1,{"b":null}]}],"big":12345678901234567890})");
    const JSONObject &object = *value.objectValue();
    EXPECT_TRUE(object[u"null"_s].isNull());
    EXPECT_EQ(object[u"one"_s].kind(), JSONValue::Kind::Number);
    EXPECT_EQ(*object[u"one"_s].numberValue(), 1.0);
    EXPECT_EQ(object[u"t"_s].kind(), JSONValue::Kind::Bool);
    EXPECT_EQ(object[u"s"_s].kind(), JSONValue::Kind::String);
    EXPECT_TRUE(object[u"empty_a"_s].arrayValue()->isEmpty());
    EXPECT_TRUE(object[u"empty_o"_s].objectValue()->isEmpty());
    EXPECT_EQ(*object[u"big"_s].numberValue(), 12345678901234567890.0);

    const JSONValue expectedDeep(JSONValue::Array {JSONValue(
        JSONObject {{u"a"_s, JSONValue(JSONValue::Array {JSONValue(1), JSONValue(JSONObject {{u"b"_s, {}}})})}})});
    EXPECT_EQ(object[u"deep"_s], expectedDeep);

    // A null inside a map survives a round trip as an explicit null.
    const QByteArray encoded = encodeJson(value);
    EXPECT_TRUE(encoded.contains(R"("null":null)"));
    EXPECT_TRUE(encoded.contains(R"("b":null)"));
    EXPECT_EQ(decodeJson<JSONValue>(encoded), value);
}

TEST(JSONValue, EqualityComparesCaseAndPayload)
{
    struct Case {
        JSONValue a, b;
        bool equal;
    };
    const Case cases[] = {
        {JSONValue(1), JSONValue(true), false},
        {JSONValue(u"1"_s), JSONValue(1), false},
        {JSONValue(), JSONValue(false), false},
        {JSONValue(), JSONValue(nullptr), true},
        {JSONValue(0.0), JSONValue(-0.0), true},
        {JSONValue(std::nan("")), JSONValue(std::nan("")), false},
        {JSONValue(u"\u00e9"_s), JSONValue(u"e\u0301"_s), true},
        {JSONValue(u"a"_s), JSONValue(u"A"_s), false},
        {JSONValue(JSONValue::Array {JSONValue(1), JSONValue(2)}),
            JSONValue(JSONValue::Array {JSONValue(2), JSONValue(1)}), false},
        {JSONValue(JSONObject {{u"k"_s, JSONValue()}}), JSONValue(JSONObject {}), false},
        {JSONValue(JSONObject {{u"k"_s, JSONValue(u"\u00e9"_s)}}),
            JSONValue(JSONObject {{u"k"_s, JSONValue(u"e\u0301"_s)}}), true},
        {JSONValue(JSONObject {{u"caf\u00e9"_s, JSONValue(1)}, {u"a"_s, JSONValue()}}),
            JSONValue(JSONObject {{u"cafe\u0301"_s, JSONValue(1)}, {u"a"_s, JSONValue()}}), true},
        {JSONValue(JSONObject {{u"caf\u00e9"_s, JSONValue(1)}}),
            JSONValue(JSONObject {{u"cafe\u0301"_s, JSONValue(2)}}), false},
        {JSONValue(JSONObject {{u"a"_s, JSONValue(1)}}), JSONValue(JSONObject {{u"b"_s, JSONValue(1)}}), false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.b == c.a, c.equal);
    }

    EXPECT_TRUE(JSONValue::stringMap({}).isEmpty());
    const JSONObject map = JSONValue::stringMap({{u"a"_s, u"1"_s}, {u"b"_s, u""_s}});
    EXPECT_EQ(map.size(), 2);
    for (const JSONValue &v : map) {
        EXPECT_EQ(v.kind(), JSONValue::Kind::String);
    }
    EXPECT_EQ(*map[u"a"_s].stringValue(), u"1"_s);
}

TEST(SyncError, ReadableMessagesAreExact)
{
    const std::pair<SyncError, QString> cases[] = {
        {SyncError::invalidRequest(u"Target list not found"_s), u"Target list not found"_s},
        {SyncError::invalidRequest(u""_s), u""_s},
        {SyncError::invalidRequest(u"缺少云端地址或账号令牌"_s), u"缺少云端地址或账号令牌"_s},
        {SyncError::permissionDenied(), u"Reminders permission denied"_s},
        {SyncError::notFound(), u"Reminder not found"_s},
        {SyncError::serviceUnavailable(), u"Service unavailable"_s},
    };
    for (const auto &[error, message] : cases) {
        EXPECT_EQ(error.description(), message);
        EXPECT_EQ(QString::fromUtf8(error.what()), message);
    }
    try {
        throw SyncError::notFound();
    } catch (const Error &error) {
        EXPECT_EQ(error.domain(), SyncError::domainName());
        EXPECT_EQ(static_cast<const SyncError &>(error).kind(), SyncError::Kind::NotFound);
    }
}
