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
// Reading: unknown keys are ignored; of repeated keys the last wins; a missing or null optional is
// absent; a missing, null or mistyped required key fails the whole document. Errors are JSONCodingError naming the key
// path. Values are never coerced: a number is no text, a fraction is no integer.

#include "model/JSONCodingError.h"
#include "model/JSONValue.h"
#include "model/JsonField.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QScopeGuard>
#include <QString>
#include <QVarLengthArray>

#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

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

// A parsed JSON text as a flat list of nodes in document order. Objects hold their members as
// key node, value node pairs; every node knows where its subtree ends, so siblings are one hop
// apart. Texts and numbers stay as spans of the source bytes until a field asks for them.
// When an object repeats a key, the last member wins, as with Qt's parser: the earlier members'
// key nodes are marked shadowed and readers pass over them.
// In a large document each object that is an element of an array is checked when the document is
// read but kept as one deferred node of its span, parsed on its own when a reader reaches it: the
// nodes of a whole answer of many records would take more memory than its text.
struct Node {
    enum Type : quint8 { Null, False, True, Number, String, Array, Object };
    Type type;
    bool flag; // String: holds escapes; Number: has a fraction or an exponent
    bool shadowed = false; // key node of a member that a later member with the same key overrides
    bool deferred = false; // Object: its members are not parsed yet
    quint32 start;
    quint32 length; // String, Number: the span of its text; Object: of the whole object
    quint32 end; // index of the first node after this value's subtree
    quint32 count; // Array: elements; Object: members
};

// Documents from this size on defer their array elements.
inline constexpr qsizetype deferElementsFrom = qsizetype(256) * 1024;

class Document {
public:
    // Throws JSONCodingError when the bytes are not one well-formed JSON value.
    explicit Document(const QByteArray &bytes);
    // The nodes of a deferred element of `document`, the element at index 0.
    Document(const Document &document, const Node &element);

    const Node &node(quint32 index) const { return m_nodes[index]; }
    // The text the nodes' spans are in.
    const QByteArray &text() const { return m_bytes; }
    QString string(const Node &node) const;
    bool keyEquals(const Node &node, const char *key, size_t keyLength) const;
    // false when the number does not fit a double
    bool number(const Node &node, double &out) const;
    // false unless the number is integral and fits 64 bits
    bool integer(const Node &node, qint64 &out) const;

private:
    QByteArray m_bytes;
    std::vector<Node> m_nodes;
};

class Decoder {
public:
    explicit Decoder(const Document &document)
        : doc(&document)
    {
    }

    // The document being read: a deferred element's own while it is read.
    const Document *doc;
    Path path;

    // Reads the deferred element at `index` by `read`, which reads it at index 0.
    template <class F> void inElement(quint32 index, F &&read)
    {
        const Document element(*doc, doc->node(index));
        const auto restore = qScopeGuard([this, outer = std::exchange(doc, &element)] { doc = outer; });
        read();
    }

    [[noreturn]] void mistyped(const char *expected);
    const Node &expect(quint32 index, Node::Type type, const char *expected)
    {
        const Node &n = doc->node(index);
        if (n.type != type)
            mistyped(expected);
        return n;
    }

    void value(quint32 index, QString &out) { out = doc->string(expect(index, Node::String, "string")); }
    void value(quint32 index, bool &out);
    void value(quint32 index, qint64 &out);
    void value(quint32 index, double &out);
    void value(quint32 index, JSONValue &out);
    void value(quint32 index, JSONObject &out);

    template <class T> void value(quint32 index, QList<T> &out)
    {
        const Node &n = expect(index, Node::Array, "array");
        out.clear();
        // Exactly as many as the array holds: resizing an empty list rounds its block up for
        // growth, which for a large answer's records is megabytes that are never used.
        out.reserve(n.count);
        out.resize(n.count);
        quint32 element = index + 1;
        for (quint32 i = 0; i < n.count; ++i) {
            path.push(qsizetype(i));
            value(element, out[i]);
            path.pop();
            element = doc->node(element).end;
        }
    }

    template <Record T> void value(quint32 index, T &out);

private:
    // Free-form objects decoded so far, by their text: the records of one answer mostly carry
    // equal ones (a summary of where each item came from), and each then shares one map instead
    // of holding its own copy of every key and value. The texts point into the document.
    QHash<QByteArray, JSONObject> m_objectsByText;
};

class ObjectReader {
public:
    ObjectReader(Decoder &d, quint32 object)
        : m_d(d)
        , m_first(object + 1)
        , m_end(d.doc->node(object).end)
        , m_cursor(object + 1)
    {
    }

    template <class F> void operator()(const char *key, F &field, WhenAbsent = WhenAbsent::Omit)
    {
        const quint32 found = find(key);
        const bool absent = found == notFound || m_d.doc->node(found).type == Node::Null;
        if constexpr (OptionalTraits<F>::value) {
            if (absent) {
                field.reset();
                return;
            }
            typename OptionalTraits<F>::Inner inner {};
            m_d.path.push(key);
            m_d.value(found, inner);
            m_d.path.pop();
            field = std::move(inner);
        } else {
            if (absent)
                fail(JSONCodingError::Decoding, m_d.path,
                    found == notFound ? QStringLiteral("missing") : QStringLiteral("null"), key);
            m_d.path.push(key);
            m_d.value(found, field);
            m_d.path.pop();
        }
    }

private:
    static constexpr quint32 notFound = ~quint32(0);

    // Documents usually list keys in the order the record declares them, so the search goes on
    // from the member after the last match and wraps around once.
    quint32 find(const char *key)
    {
        const size_t length = std::char_traits<char>::length(key);
        for (int pass = 0; pass < 2; ++pass) {
            const quint32 from = pass == 0 ? m_cursor : m_first;
            const quint32 to = pass == 0 ? m_end : m_cursor;
            for (quint32 member = from; member < to; member = m_d.doc->node(member + 1).end) {
                const Node &keyNode = m_d.doc->node(member);
                if (!keyNode.shadowed && m_d.doc->keyEquals(keyNode, key, length)) {
                    m_cursor = m_d.doc->node(member + 1).end;
                    return member + 1;
                }
            }
        }
        return notFound;
    }

    Decoder &m_d;
    quint32 m_first;
    quint32 m_end;
    quint32 m_cursor;
};

template <Record T> void Decoder::value(quint32 index, T &out)
{
    if (doc->node(index).deferred) {
        inElement(index, [&] { value(0, out); });
        return;
    }
    expect(index, Node::Object, "object");
    ObjectReader reader(*this, index);
    T::fields(out, reader);
}

QJsonValue parseDocument(const QByteArray &bytes);
QByteArray serialize(const QJsonValue &json);

} // namespace json_detail

// Compact JSON text of a record, a list of records, or any supported field type.
template <class T> QByteArray encodeJson(const T &value)
{
    json_detail::Encoder encoder;
    encoder.value(value);
    return std::move(encoder.w.out);
}

// Throws JSONCodingError when the text is no JSON document or does not fit T.
template <class T> T decodeJson(const QByteArray &bytes)
{
    const json_detail::Document document(bytes);
    json_detail::Decoder decoder(document);
    T result {};
    decoder.value(0, result);
    return result;
}

template <class T> T fromJsonValue(const QJsonValue &json)
{
    return decodeJson<T>(json_detail::serialize(json));
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
