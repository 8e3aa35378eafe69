#pragma once

// The one strict JSON codec of the system. A record lists its fields once:
//
//     template <class S, class V> static void fields(S &s, V &v)
//     {
//         v("local_id", s.local_id);
//         v("notes", s.notes);                          // std::optional: may be absent
//         v("source", s.source, WhenAbsent::WriteNull); // absent written as null
//     }
//
// and that list drives both directions. Field types: QString, bool, qint64, double, JSONValue,
// JSONObject, another record, QList of any of these, and std::optional of any of these.
//
// Writing: required fields always; an absent optional is left out (or written as null when the
// record says so); empty arrays stay empty arrays; a non-finite double fails.
// Reading: unknown keys are ignored; a missing or null optional is absent; a missing, null or
// mistyped required key fails the whole document. Errors are JSONCodingError naming the key path.
// Values are never coerced: a number is no text, a fraction is no integer.

#include "model/JSONCodingError.h"
#include "model/JSONValue.h"
#include "model/JsonField.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QVarLengthArray>

#include <optional>
#include <type_traits>
#include <utility>

namespace quorvin {

namespace json_detail {

template <class T> struct OptionalTraits : std::false_type {
};
template <class T> struct OptionalTraits<std::optional<T>> : std::true_type {
    using Inner = T;
};

struct FieldProbe {
    template <class F> void operator()(const char *, F &, WhenAbsent = WhenAbsent::Omit) { }
};

template <class T>
concept Record = requires(T &t, FieldProbe &p)
{
    T::fields(t, p);
};

// The key path of the value being coded, kept as cheap segments and rendered only on failure.
class Path {
public:
    void push(const char *key) { m_segments.append({key, -1}); }
    void push(qsizetype index) { m_segments.append({nullptr, index}); }
    void pop() { m_segments.removeLast(); }
    QString render(const char *lastKey = nullptr) const;

private:
    struct Segment {
        const char *key;
        qsizetype index;
    };
    QVarLengthArray<Segment, 12> m_segments;
};

[[noreturn]] void fail(
    JSONCodingError::Code code, const Path &path, const QString &reason, const char *lastKey = nullptr);

class Writer {
public:
    QByteArray out;

    void put(char c) { out.append(c); }
    void key(const char *key, bool &first);
    void string(const QString &text);
    void integer(qint64 value);
    void number(double value, const Path &path);
    void null() { out.append("null", 4); }
    void boolean(bool value) { value ? out.append("true", 4) : out.append("false", 5); }
    void jsonValue(const JSONValue &value, Path &path);
};

class Encoder {
public:
    Writer w;
    Path path;

    void value(const QString &v) { w.string(v); }
    void value(bool v) { w.boolean(v); }
    void value(qint64 v) { w.integer(v); }
    void value(double v) { w.number(v, path); }
    void value(const JSONValue &v) { w.jsonValue(v, path); }
    void value(const JSONObject &v);

    template <class T> void value(const QList<T> &list)
    {
        w.put('[');
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (i)
                w.put(',');
            path.push(i);
            value(list[i]);
            path.pop();
        }
        w.put(']');
    }

    template <Record T> void value(const T &record);
};

class ObjectWriter {
public:
    explicit ObjectWriter(Encoder &e)
        : m_e(e)
    {
    }

    template <class F> void operator()(const char *key, const F &field, WhenAbsent whenAbsent = WhenAbsent::Omit)
    {
        if constexpr (OptionalTraits<F>::value) {
            if (!field) {
                if (whenAbsent == WhenAbsent::WriteNull) {
                    m_e.w.key(key, m_first);
                    m_e.w.null();
                }
                return;
            }
            m_e.w.key(key, m_first);
            m_e.path.push(key);
            m_e.value(*field);
            m_e.path.pop();
        } else {
            m_e.w.key(key, m_first);
            m_e.path.push(key);
            m_e.value(field);
            m_e.path.pop();
        }
    }

private:
    Encoder &m_e;
    bool m_first = true;
};

template <Record T> void Encoder::value(const T &record)
{
    w.put('{');
    ObjectWriter writer(*this);
    T::fields(record, writer);
    w.put('}');
}

class Decoder {
public:
    Path path;

    [[noreturn]] void mistyped(const char *expected);

    void value(const QJsonValue &j, QString &out)
    {
        if (!j.isString())
            mistyped("string");
        out = j.toString();
    }
    void value(const QJsonValue &j, bool &out)
    {
        if (!j.isBool())
            mistyped("boolean");
        out = j.toBool();
    }
    void value(const QJsonValue &j, qint64 &out);
    void value(const QJsonValue &j, double &out)
    {
        if (!j.isDouble())
            mistyped("number");
        out = j.toDouble();
    }
    void value(const QJsonValue &j, JSONValue &out) { out = JSONValue::fromQJsonValue(j); }
    void value(const QJsonValue &j, JSONObject &out);

    template <class T> void value(const QJsonValue &j, QList<T> &out)
    {
        if (!j.isArray())
            mistyped("array");
        const QJsonArray array = j.toArray();
        out.clear();
        out.resize(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            path.push(i);
            value(array.at(i), out[i]);
            path.pop();
        }
    }

    template <Record T> void value(const QJsonValue &j, T &out);
};

class ObjectReader {
public:
    ObjectReader(Decoder &d, const QJsonObject &o)
        : m_d(d)
        , m_o(o)
    {
    }

    template <class F> void operator()(const char *key, F &field, WhenAbsent = WhenAbsent::Omit)
    {
        const auto it = m_o.constFind(QLatin1StringView(key));
        if constexpr (OptionalTraits<F>::value) {
            if (it == m_o.constEnd() || it->isNull()) {
                field.reset();
                return;
            }
            typename OptionalTraits<F>::Inner inner {};
            m_d.path.push(key);
            m_d.value(QJsonValue(*it), inner);
            m_d.path.pop();
            field = std::move(inner);
        } else {
            if (it == m_o.constEnd())
                fail(JSONCodingError::Decoding, m_d.path, QStringLiteral("missing"), key);
            if (it->isNull())
                fail(JSONCodingError::Decoding, m_d.path, QStringLiteral("null"), key);
            m_d.path.push(key);
            m_d.value(QJsonValue(*it), field);
            m_d.path.pop();
        }
    }

private:
    Decoder &m_d;
    const QJsonObject &m_o;
};

template <Record T> void Decoder::value(const QJsonValue &j, T &out)
{
    if (!j.isObject())
        mistyped("object");
    const QJsonObject object = j.toObject();
    ObjectReader reader(*this, object);
    T::fields(out, reader);
}

QJsonValue parseDocument(const QByteArray &bytes);

} // namespace json_detail

// Compact JSON text of a record, a list of records, or any supported field type.
template <class T> QByteArray encodeJson(const T &value)
{
    json_detail::Encoder encoder;
    encoder.value(value);
    return std::move(encoder.w.out);
}

template <class T> T fromJsonValue(const QJsonValue &json)
{
    json_detail::Decoder decoder;
    T result {};
    decoder.value(json, result);
    return result;
}

// Throws JSONCodingError when the text is no JSON document or does not fit T.
template <class T> T decodeJson(const QByteArray &bytes)
{
    return fromJsonValue<T>(json_detail::parseDocument(bytes));
}

template <class T> QJsonValue toJsonValue(const T &value)
{
    return json_detail::parseDocument(encodeJson(value));
}

// A record as a free-form value, for embedding it in a JSON body of its own.
template <class T> JSONValue toJSONValue(const T &value)
{
    return JSONValue::fromQJsonValue(toJsonValue(value));
}

} // namespace quorvin
