#include "model/Digest.h"
#include "model/JsonCodec.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <cmath>
#include <cstring>
#include <memory>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

JSONValue qtParse(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        throw std::runtime_error(error.errorString().toStdString());
    }
    return document.isArray() ? JSONValue::fromQJsonValue(document.array())
                              : JSONValue::fromQJsonValue(document.object());
}

// Equality that also tells 0 from -0 and compares texts unit by unit, stricter than ==.
bool identical(const JSONValue &a, const JSONValue &b)
{
    if (a.kind() != b.kind()) {
        return false;
    }
    switch (a.kind()) {
    case JSONValue::Kind::Number:
        return *a.numberValue() == *b.numberValue() && std::signbit(*a.numberValue()) == std::signbit(*b.numberValue());
    case JSONValue::Kind::String:
        return *a.stringValue() == *b.stringValue();
    case JSONValue::Kind::Array: {
        const auto &x = *a.arrayValue();
        const auto &y = *b.arrayValue();
        if (x.size() != y.size()) {
            return false;
        }
        for (qsizetype i = 0; i < x.size(); ++i) {
            if (!identical(x[i], y[i])) {
                return false;
            }
        }
        return true;
    }
    case JSONValue::Kind::Object: {
        const auto &x = *a.objectValue();
        const auto &y = *b.objectValue();
        if (x.keys() != y.keys()) {
            return false;
        }
        for (auto it = x.cbegin(); it != x.cend(); ++it) {
            if (!identical(it.value(), y.value(it.key()))) {
                return false;
            }
        }
        return true;
    }
    default:
        return a == b;
    }
}

// The same document, long enough for its array elements to be parsed only when they are read.
QByteArray large(const QByteArray &text)
{
    return text + QByteArray(json_detail::deferElementsFrom, ' ');
}

} // namespace

TEST(JsonParser, ValidDocumentsReadAsQtReadsThem)
{
    const QByteArray documents[] = {
        "[]",
        "{}",
        " \t\r\n[ \t\r\n1 \t\r\n, \t\r\n2 \t\r\n] \t\r\n",
        R"([0, 1, -1, 0.5, -0.5, 1e2, 1E+2, 1e-2, 0.1e1, 123.456e-7, 2.5E3])",
        R"([9007199254740993, 123456789012345678901234567890, -9223372036854775809])",
        R"([1.7976931348623157e308, 5e-324, 2.2250738585072014e-308, 0.30000000000000004])",
        R"([true, false, null, [null], {"a": null}])",
        R"(["", " ", "plain", "tab\tinside", "\"\\\/\b\f\n\r\t"])",
        R"(["\u0000", "\u001f", "\u0041\u00e9\u4e2d", "\uFFFF", "\ud83d\ude00", "\uD83D\uDE00x"])",
        R"(["\ud800", "\udc00x", "\ud800\u0041", "a\udbff"])",
        "[\"é中😀\", \"\xf4\x8f\xbf\xbf\"]",
        R"({"a": 1, "a": 2})",
        R"({"a": {"x": 1}, "b": [], "a": [3], "c": "", "b": {"y": null}})",
        R"({"k\u0065y": 1, "key": 2})",
        R"({"": 0, " ": 1, "\u00e9": 2, "é": 3})",
        "\xef\xbb\xbf{\"bom\": true}",
        R"({"nested": {"deeper": {"deepest": [[[{"x": [1, {"y": "z"}]}]]]}}})",
        R"([{"a": 1, "a": {"b": [{"c": 2, "c": 3}, {}]}}, {}, [{"k\u0065y": 1, "key": [{"x": null}]}]])",
    };
    for (const QByteArray &text : documents) {
        const JSONValue ours = decodeJson<JSONValue>(text);
        const JSONValue theirs = qtParse(text);
        EXPECT_TRUE(identical(ours, theirs)) << text.toStdString();
        EXPECT_TRUE(identical(decodeJson<JSONValue>(large(text)), theirs)) << text.toStdString();
        // Whatever is written reads back the same, by our parser and by Qt's.
        const QByteArray written = encodeJson(ours);
        EXPECT_TRUE(identical(decodeJson<JSONValue>(written), ours)) << written.toStdString();
        EXPECT_TRUE(identical(qtParse(written), ours)) << written.toStdString();
    }

    // Qt reads "-0" as an integer zero and drops the sign; a negative zero keeps it here, and is
    // written so that it reads back as the same double.
    for (const QByteArray &text : {QByteArray("[-0]"), QByteArray("[-0.0]"), QByteArray("[-0e5]")}) {
        const JSONValue zero = decodeJson<JSONValue>(text).arrayValue()->at(0);
        EXPECT_TRUE(std::signbit(*zero.numberValue())) << text.toStdString();
        EXPECT_EQ(encodeJson(zero), "-0");
    }

    // Nesting up to the limit reads; one level past it is refused, never a stack overflow.
    const auto nested = [](int depth) { return QByteArray(depth, '[') + QByteArray(depth, ']'); };
    EXPECT_TRUE(identical(decodeJson<JSONValue>(nested(500)), qtParse(nested(500))));
    EXPECT_THROW(decodeJson<JSONValue>(nested(513)), JSONCodingError);
    EXPECT_THROW(decodeJson<JSONValue>(QByteArray("[1]\0", 4)), JSONCodingError);
    EXPECT_THROW(decodeJson<JSONValue>("\xef\xbb[1]"), JSONCodingError);
    EXPECT_THROW(decodeJson<JSONValue>("[1] \xef\xbb\xbf"), JSONCodingError);
}

TEST(JsonParser, MutatedDocumentsThatReadAreReadAsQtReadsThem)
{
    const QByteArray seed
        = R"({"items":[{"local_id":"r\u00e91","title":"T \"q\"","n":-12.5e-3,"b":[true,false,null]}],)"
          R"("s":"\ud83d\ude00","e":{},"a":[],"z":0})";
    const char alphabet[] = "{}[]\",:.-+eE0123456789tfnrulas\\ \t\n\x80\xff";
    QRandomGenerator random(5);
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        QByteArray text = seed;
        for (int edits = 1 + int(random.bounded(3)); edits > 0; --edits) {
            const int at = int(random.bounded(text.size() + 1));
            const char c = alphabet[random.bounded(int(sizeof(alphabet) - 1))];
            switch (random.bounded(3)) {
            case 0:
                text.insert(at, c);
                break;
            case 1:
                if (at < text.size()) {
                    text[at] = c;
                }
                break;
            default:
                text.remove(at, 1);
            }
        }
        QJsonParseError error;
        const QJsonDocument qt = QJsonDocument::fromJson(text, &error);
        std::optional<JSONValue> ours;
        try {
            ours = decodeJson<JSONValue>(text);
        } catch (const JSONCodingError &) {
        }
        // Read as a large document, whose array elements are checked first and parsed later, it
        // is refused or read alike.
        std::optional<JSONValue> oursLarge;
        try {
            oursLarge = decodeJson<JSONValue>(large(text));
        } catch (const JSONCodingError &) {
        }
        ASSERT_EQ(ours.has_value(), oursLarge.has_value()) << text.toStdString();
        if (ours) {
            ASSERT_TRUE(identical(*ours, *oursLarge)) << text.toStdString();
        }
        // Qt also reads a top-level scalar as no document; leave those out.
        if (ours && ours->kind() != JSONValue::Kind::Object && ours->kind() != JSONValue::Kind::Array) {
            continue;
        }
        // Qt lets some malformed texts through (an unknown escape such as "\4"), so only what this
        // parser accepts is held against it: Qt must accept it too and read the same value.
        if (ours) {
            ++accepted;
            ASSERT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
            EXPECT_TRUE(
                *ours == JSONValue::fromQJsonValue(qt.isArray() ? QJsonValue(qt.array()) : QJsonValue(qt.object())))
                << text.toStdString();
        }
    }
    EXPECT_GT(accepted, 100);
}

TEST(JsonParser, WrittenNumbersReadBackBitForBit)
{
    QRandomGenerator random(3);
    QList<double> values = {0.1, 1e-4, 9.99e-5, 1e16, 9999999999999998.0, 1e300, 5e-324, 1.7976931348623157e308,
        -2.2250738585072014e-308, 123456789.125, -900, 0.30000000000000004};
    for (int i = 0; i < 20000; ++i) {
        const quint64 bits = random.generate64();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) {
            values.append(value);
        }
    }
    for (int i = 0; i < 2000; ++i) {
        values.append(double(qint64(random.generate64()) >> random.bounded(64)) / double(1 << random.bounded(20)));
    }
    for (const double value : values) {
        const QByteArray written = encodeJson(JSONValue(value));
        const double back = *decodeJson<JSONValue>(written).numberValue();
        ASSERT_EQ(std::memcmp(&back, &value, sizeof value), 0) << written.toStdString();
        ASSERT_EQ(QJsonDocument::fromJson("[" + written + "]").array().at(0).toDouble(), value)
            << written.toStdString();
    }

    // A decoding error names a free-form key as the text it is.
    try {
        decodeJson<ReminderPayload>(
            R"({"local_id":"r","title":"t","fingerprint":"f","has_due_time":false,)"
            R"("is_completed":false,"content_hash":"h","raw_apple_payload_json":{"备注":1e999}})");
        ADD_FAILURE() << "decoded an out-of-range number";
    } catch (const JSONCodingError &error) {
        EXPECT_EQ(error.description(), u"raw_apple_payload_json.备注: Unsupported JSON value"_s);
    }
}

TEST(JsonParser, RepeatedKeysLetTheLastMemberWin)
{
    struct Case {
        QByteArray text;
        QString listId; // empty: decoding fails with error
        QString error;
    };
    const Case cases[] = {
        {R"({"list_id":"a","list_name":"b","list_id":"c"})", u"c"_s, {}},
        {R"({"list_id":"a","list_name":"b","li\u0073t_id":"escaped"})", u"escaped"_s, {}},
        {R"({"li\u0073t_id":"escaped","list_name":"b","list_id":"plain"})", u"plain"_s, {}},
        // The overridden value is never looked at, even when it would not decode.
        {R"({"list_id":5,"list_name":"b","list_id":"fine"})", u"fine"_s, {}},
        {R"({"list_id":"a","list_name":"b","list_id":null})", {}, u"list_id: null"_s},
        {R"({"list_id":"a","list_name":"b","sort_order":1,"sort_order":2.5})", {}, u"sort_order: expected integer"_s},
        {R"({"list_id":"a","list_name":"b","list_id":"x","list_id":"y","list_id":"z"})", u"z"_s, {}},
    };
    for (const Case &c : cases) {
        try {
            const auto list = decodeJson<ReminderListDirectoryPayload>(c.text);
            EXPECT_EQ(list.list_id, c.listId) << c.text.toStdString();
        } catch (const JSONCodingError &error) {
            EXPECT_EQ(error.description(), c.error) << c.text.toStdString();
        }
    }

    // A wide object, past the size where repeats are looked for key by key.
    QByteArray reminder = R"({"local_id":"r","title":"first","fingerprint":"f","has_due_time":false,)"
                          R"("is_completed":false,"content_hash":"h")";
    for (int i = 0; i < 40; ++i) {
        reminder += ",\"extra_" + QByteArray::number(i) + "\":" + QByteArray::number(i);
    }
    reminder += R"(,"title":"second","raw_apple_payload_json":{"k":1e999,"k":"kept"}})";
    const auto payload = decodeJson<ReminderPayload>(reminder);
    EXPECT_EQ(payload.title, u"second"_s);
    EXPECT_EQ(*payload.raw_apple_payload_json, (JSONObject {{u"k"_s, JSONValue(u"kept"_s)}}));
}

TEST(JsonParser, LoneSurrogatesSurviveARoundTrip)
{
    ReminderListDirectoryPayload list;
    list.list_id = u"id"_s;
    list.list_name = QString(QChar(0xd800)) + u"x"_s + QChar(0xdfff) + u"😀"_s + QChar(0xdbff);
    const QByteArray written = encodeJson(list);
    EXPECT_EQ(written, "{\"list_id\":\"id\",\"list_name\":\"\\ud800x\\udfff\xf0\x9f\x98\x80\\udbff\"}");
    EXPECT_EQ(decodeJson<ReminderListDirectoryPayload>(written).list_name, list.list_name);
    EXPECT_EQ(QJsonDocument::fromJson(written).object().value(u"list_name"_s).toString(), list.list_name);
}

TEST(Digest, BothEnginesAgreeWithTheReferenceAtEveryLength)
{
    QFile cpuinfo(u"/proc/cpuinfo"_s);
    if (cpuinfo.open(QIODevice::ReadOnly) && cpuinfo.readAll().contains(" sha_ni")) {
        EXPECT_TRUE(sha256ProcessorInstructionsAvailable());
    }

    QRandomGenerator random(11);
    QByteArray pool(5000, Qt::Uninitialized);
    for (char &b : pool) {
        b = char(random.generate());
    }
    QList<int> lengths = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 121, 127, 128, 129, 1000, 4095, 4096, 4097};
    for (int length = 2; length < 200; length += 7) {
        lengths.append(length);
    }
    for (const int length : lengths) {
        // Odd offsets give unaligned input to the vector loads; the input ends exactly where its
        // allocation does, so that a read past the end shows under AddressSanitizer.
        for (const int offset : {0, 1, 3}) {
            const std::unique_ptr<char[]> exact(new char[size_t(offset + length)]);
            std::memcpy(exact.get() + offset, pool.constData(), size_t(length));
            const QByteArrayView bytes(exact.get() + offset, length);
            const QString reference
                = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
            ASSERT_EQ(sha256Hex(bytes, Sha256Engine::ProcessorInstructions), reference) << length << "+" << offset;
            ASSERT_EQ(sha256Hex(bytes, Sha256Engine::Portable), reference) << length << "+" << offset;
            ASSERT_EQ(sha256Hex(bytes), reference) << length << "+" << offset;
        }
    }
    // Known answers: the empty text and the two-block test message.
    const QByteArray twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    for (const Sha256Engine engine : {Sha256Engine::ProcessorInstructions, Sha256Engine::Portable}) {
        EXPECT_EQ(
            sha256Hex(QByteArrayView(), engine), u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"_s);
        EXPECT_EQ(sha256Hex(QByteArrayView(twoBlocks), engine),
            u"248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"_s);
    }
}
