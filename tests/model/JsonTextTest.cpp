#include "model/Digest.h"
#include "model/JsonCodec.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

TEST(JsonText, MalformedDocumentsAreRejected)
{
    const QByteArray bad[] = {
        "",
        " ",
        "{",
        "{\"list_id\":\"a\",}",
        "{\"list_id\":\"a\" \"list_name\":\"b\"}",
        "{list_id:\"a\"}",
        "{'list_id':'a'}",
        "{\"list_id\":\"a\",\"list_name\":\"b\"} x",
        "{\"list_id\":\"a\",\"list_name\":\"b\"}{}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"sort_order\":01}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"sort_order\":1.}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"sort_order\":.5}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"sort_order\":-}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"sort_order\":+1}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"sort_order\":NaN}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"sort_order\":1e}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"x\":tru}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"x\":nul}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"x\":[1,]}",
        "{\"list_id\":\"a\",\"list_name\":\"b\",\"x\":[1 2]}",
        "{\"list_id\":\"a\nb\",\"list_name\":\"b\"}",
        "{\"list_id\":\"a\\x\",\"list_name\":\"b\"}",
        "{\"list_id\":\"\\u12G4\",\"list_name\":\"b\"}",
        "{\"list_id\":\"unterminated,\"list_name\":\"b\"}",
        "{\"list_id\":\"\xff\",\"list_name\":\"b\"}",
        "{\"list_id\":\"\xc0\xaf\",\"list_name\":\"b\"}",
        "{\"list_id\":\"\xed\xa0\x80\",\"list_name\":\"b\"}",
    };
    for (const QByteArray &text : bad) {
        try {
            decodeJson<ReminderListDirectoryPayload>(text);
            ADD_FAILURE() << "accepted: " << text.toStdString();
        } catch (const JSONCodingError &error) {
            EXPECT_TRUE(error.description().startsWith(u"not valid JSON: "_s)) << error.description().toStdString();
        }
    }

    // Unbounded nesting is refused instead of exhausting the stack.
    const QByteArray deep = "{\"list_id\":\"a\",\"list_name\":\"b\",\"x\":" + QByteArray(100000, '[') + "}";
    EXPECT_THROW(decodeJson<ReminderListDirectoryPayload>(deep), JSONCodingError);
    const QByteArray fine
        = "{\"list_id\":\"a\",\"list_name\":\"b\",\"x\":" + QByteArray(100, '[') + QByteArray(100, ']') + "}";
    EXPECT_EQ(decodeJson<ReminderListDirectoryPayload>(fine).list_id, u"a"_s);
}

TEST(JsonText, TextsNumbersAndKeysAreReadExactly)
{
    const auto list = decodeJson<ReminderListDirectoryPayload>(
        " \r\n\t{ \"sort_order\" : -12 , \"list_name\":\"\\u5de5\\u4f5c \\ud83d\\ude00 \\\"q\\\" \\\\ \\/ "
        "\\b\\f\\n\\r\\t\","
        "\"li\\u0073t_id\":\"é😀\", \"list_id\":\"second\", \"source\":\"\"} ");
    EXPECT_EQ(list.list_name, u"工作 😀 \"q\" \\ / \b\f\n\r\t"_s);
    EXPECT_EQ(list.list_id, u"second"_s); // an escaped key matches, and the last of duplicates wins
    EXPECT_EQ(list.sort_order, -12);
    EXPECT_EQ(list.source, u""_s);

    // U+FEFF is text inside a string, wherever it stands and however it is spelt, and survives a
    // write and a read, also through the Qt-level entry point.
    const auto marked = decodeJson<ReminderListDirectoryPayload>("{\"list_id\":\"\xEF\xBB\xBF\xEF\xBB\xBF"
                                                                 "a\\n\xEF\xBB\xBF\",\"list_name\":\"\\ufeffb\"}");
    EXPECT_EQ(marked.list_id, u"\uFEFF\uFEFFa\n\uFEFF"_s);
    EXPECT_EQ(marked.list_name, u"\uFEFFb"_s);
    const auto written = decodeJson<ReminderListDirectoryPayload>(encodeJson(marked));
    EXPECT_EQ(written.list_id, marked.list_id);
    EXPECT_EQ(written.list_name, marked.list_name);
    EXPECT_EQ(toJsonValue(marked).toObject().value(u"list_id"_s).toString(), marked.list_id);

    const std::pair<const char *, std::optional<qint64>> integers[] = {
        {"0", 0},
        {"-0", 0},
        {"1e2", 100},
        {"1.5e1", 15},
        {"2.0", 2},
        {"12345678901234567.0", Q_INT64_C(12345678901234567)},
        {"9223372036854775807.000", Q_INT64_C(9223372036854775807)},
        {"-9223372036854775808.0", std::numeric_limits<qint64>::min()},
        {"9223372036854775808.0", std::nullopt},
        {"-0.0", 0},
        {"1.000001", std::nullopt},
        {"9223372036854775807", Q_INT64_C(9223372036854775807)},
        {"-9223372036854775808", std::numeric_limits<qint64>::min()},
        {"9223372036854775808", std::nullopt},
        {"1e19", std::nullopt},
        {"0.5", std::nullopt},
        {"1e400", std::nullopt},
    };
    for (const auto &[text, expected] : integers) {
        const QByteArray json = R"({"list_id":"a","list_name":"b","sort_order":)" + QByteArray(text) + "}";
        try {
            EXPECT_EQ(decodeJson<ReminderListDirectoryPayload>(json).sort_order, expected) << text;
        } catch (const JSONCodingError &error) {
            EXPECT_FALSE(expected) << text;
            EXPECT_EQ(error.description(), u"sort_order: expected integer"_s) << text;
        }
    }

    const std::pair<const char *, double> doubles[]
        = {{"-900", -900.0}, {"0.1", 0.1}, {"1E-3", 0.001}, {"123456789.125", 123456789.125}, {"-0.0", -0.0}};
    for (const auto &[text, expected] : doubles) {
        const QByteArray json = R"({"kind":"relative","relative_offset_seconds":)" + QByteArray(text) + "}";
        const auto alarm = decodeJson<ReminderAlarmPayload>(json);
        EXPECT_EQ(*alarm.relative_offset_seconds, expected) << text;
        // What is written reads back to the same double.
        EXPECT_EQ(*decodeJson<ReminderAlarmPayload>(encodeJson(alarm)).relative_offset_seconds, expected) << text;
    }
    EXPECT_THROW(decodeJson<ReminderAlarmPayload>(R"({"kind":"r","relative_offset_seconds":1e999})"), JSONCodingError);

    // Qt-level entry points agree with the text-level ones.
    const QJsonObject object = QJsonDocument::fromJson(R"({"list_id":"a","list_name":"b","sort_order":3})").object();
    EXPECT_EQ(fromJsonValue<ReminderListDirectoryPayload>(object).sort_order, 3);
    EXPECT_EQ(toJsonValue(fromJsonValue<ReminderListDirectoryPayload>(object)).toObject(), object);
    EXPECT_EQ(fromJsonValue<JSONValue>(QJsonValue(u"x"_s)), JSONValue(u"x"_s));
    EXPECT_EQ(toJsonValue(u"x"_s), QJsonValue(u"x"_s));
    EXPECT_EQ(toJsonValue(qint64(-7)), QJsonValue(-7));
    EXPECT_EQ(toJsonValue(JSONValue()), QJsonValue(QJsonValue::Null));
    EXPECT_EQ(toJSONValue(QList<qint64> {1, 2}), JSONValue(JSONValue::Array {JSONValue(1), JSONValue(2)}));
}

TEST(Digest, MatchesTheReferenceDigestAtEveryLength)
{
    QRandomGenerator random(7);
    for (int length = 0; length <= 300; ++length) {
        QByteArray bytes(length, Qt::Uninitialized);
        for (char &b : bytes) {
            b = char(random.generate());
        }
        const QString reference
            = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        ASSERT_EQ(sha256Hex(QByteArrayView(bytes)), reference) << length;
    }
    EXPECT_EQ(sha256Hex(u""_s), u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"_s);
    EXPECT_EQ(sha256Hex(u"abc"_s), u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"_s);
}

TEST(ContentHash, NonAsciiTextIsHashedAsUtf8)
{
    ReminderPayload p;
    p.local_id = u"é"_s;
    p.title = u"工作😀"_s;
    p.fingerprint = u"\u0800\u07ff"_s;
    const QString canonical = u"é|||||||||工作😀||\u0800\u07ff||0||0||0|||||||||0|"_s;
    EXPECT_EQ(p.withContentHash().content_hash, sha256Hex(canonical));
    EXPECT_EQ(p.withContentHash().content_hash,
        QString::fromLatin1(QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex()));
}
