#include "model/JsonCodec.h"

#include "model/ShortestDecimal.h"

#include <QJsonParseError>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::json_detail {

QString Path::render(const char *lastKey) const
{
    QString text;
    const auto appendKey = [&text](const char *key) {
        if (!text.isEmpty())
            text += u'.';
        text += QLatin1StringView(key);
    };
    for (const Segment &segment : m_segments) {
        if (segment.key)
            appendKey(segment.key);
        else
            text += u'[' + QString::number(segment.index) + u']';
    }
    if (lastKey)
        appendKey(lastKey);
    return text;
}

void fail(JSONCodingError::Code code, const Path &path, const QString &reason, const char *lastKey)
{
    throw JSONCodingError(code, path.render(lastKey), reason);
}

void Writer::key(const char *key, bool &first)
{
    if (!first)
        out.append(',');
    first = false;
    out.append('"');
    out.append(key);
    out.append("\":", 2);
}

void Writer::string(const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    const char16_t *data = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        const char16_t c = data[i];
        if (c >= 0x80) {
            qsizetype end = i + 1;
            while (end < size && data[end] >= 0x80)
                ++end;
            out.append(QStringView(data + i, end - i).toUtf8());
            i = end;
            continue;
        }
        switch (c) {
        case u'"':
            out.append("\\\"", 2);
            break;
        case u'\\':
            out.append("\\\\", 2);
            break;
        case u'\n':
            out.append("\\n", 2);
            break;
        case u'\r':
            out.append("\\r", 2);
            break;
        case u'\t':
            out.append("\\t", 2);
            break;
        case u'\b':
            out.append("\\b", 2);
            break;
        case u'\f':
            out.append("\\f", 2);
            break;
        default:
            if (c < 0x20) {
                const char escape[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf]};
                out.append(escape, 6);
            } else {
                out.append(char(c));
            }
        }
        ++i;
    }
    out.append('"');
}

void Writer::integer(qint64 value)
{
    out.append(QByteArray::number(value));
}

void Writer::number(double value, const Path &path)
{
    if (!std::isfinite(value))
        fail(JSONCodingError::Encoding, path, u"non-finite number"_s);
    out.append(shortestDecimal(value));
}

void Writer::jsonValue(const JSONValue &value, Path &path)
{
    switch (value.kind()) {
    case JSONValue::Kind::Null:
        null();
        return;
    case JSONValue::Kind::Bool:
        boolean(*value.boolValue());
        return;
    case JSONValue::Kind::Number:
        number(*value.numberValue(), path);
        return;
    case JSONValue::Kind::String:
        string(*value.stringValue());
        return;
    case JSONValue::Kind::Array: {
        const auto &array = *value.arrayValue();
        put('[');
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (i)
                put(',');
            path.push(i);
            jsonValue(array[i], path);
            path.pop();
        }
        put(']');
        return;
    }
    case JSONValue::Kind::Object: {
        const auto &object = *value.objectValue();
        put('{');
        bool first = true;
        for (auto it = object.cbegin(); it != object.cend(); ++it) {
            if (!first)
                put(',');
            first = false;
            string(it.key());
            put(':');
            const QByteArray key = it.key().toUtf8();
            path.push(key.constData());
            jsonValue(it.value(), path);
            path.pop();
        }
        put('}');
        return;
    }
    }
}

void Encoder::value(const JSONObject &v)
{
    w.jsonValue(JSONValue(v), path);
}

void Decoder::mistyped(const char *expected)
{
    fail(JSONCodingError::Decoding, path, u"expected "_s + QLatin1StringView(expected));
}

void Decoder::value(const QJsonValue &j, qint64 &out)
{
    if (!j.isDouble())
        mistyped("integer");
    // toInteger answers its default for a fraction or a value out of range; two different defaults
    // tell a genuine value from that answer.
    const qint64 a = j.toInteger(0);
    const qint64 b = j.toInteger(1);
    if (a != b)
        mistyped("integer");
    out = a;
}

void Decoder::value(const QJsonValue &j, JSONObject &out)
{
    if (!j.isObject())
        mistyped("object");
    out = *JSONValue::fromQJsonValue(j).objectValue();
}

QJsonValue parseDocument(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw JSONCodingError(JSONCodingError::Decoding, QString(), u"not valid JSON: "_s + error.errorString());
    if (document.isArray())
        return document.array();
    return document.object();
}

} // namespace quorvin::json_detail
