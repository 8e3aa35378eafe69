#include "model/JsonCodec.h"

#include "model/ShortestDecimal.h"
#include "model/Strings.h"
#include "platform/core/JsonByteOrderMarks.h"

#include <QJsonParseError>
#include <QStringDecoder>
#include <QUtf8StringView>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::json_detail {

QString Path::render(const char *lastKey) const
{
    QString text;
    const auto appendKey = [&text](const char *key) {
        if (!text.isEmpty()) {
            text += u'.';
        }
        text += QString::fromUtf8(key); // keys of free-form maps may be any text
    };
    for (const Segment &segment : m_segments) {
        if (segment.key) {
            appendKey(segment.key);
        } else {
            text += u'[' + QString::number(segment.index) + u']';
        }
    }
    if (lastKey) {
        appendKey(lastKey);
    }
    return text;
}

void fail(JSONCodingError::Code code, const Path &path, const QString &reason, const char *lastKey)
{
    throw JSONCodingError(code, path.render(lastKey), reason);
}

void Writer::key(const char *key, bool &first)
{
    if (!first) {
        out.append(',');
    }
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
            // A run of non-ASCII text goes out as UTF-8; a lone surrogate has no UTF-8 form and
            // is written as a \u escape instead, so that it reads back unchanged.
            qsizetype end = i;
            while (end < size && data[end] >= 0x80) {
                if (QChar::isHighSurrogate(data[end]) && end + 1 < size && QChar::isLowSurrogate(data[end + 1])) {
                    end += 2;
                } else if (!QChar::isSurrogate(data[end])) {
                    ++end;
                } else {
                    break;
                }
            }
            if (end > i) {
                out.append(QStringView(data + i, end - i).toUtf8());
                i = end;
            } else {
                const char escape[6]
                    = {'\\', 'u', hex[c >> 12], hex[(c >> 8) & 0xf], hex[(c >> 4) & 0xf], hex[c & 0xf]};
                out.append(escape, 6);
                ++i;
            }
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
    if (!std::isfinite(value)) {
        fail(JSONCodingError::Encoding, path, u"non-finite number"_s);
    }
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
            if (i) {
                put(',');
            }
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
            if (!first) {
                put(',');
            }
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

namespace {

constexpr int maximumDepth = 512;

// UTF-8 to text, keeping a U+FEFF at the start: QString::fromUtf8 drops it as a byte-order mark,
// but inside a string it is part of the text.
QString fromUtf8Text(const char *data, qsizetype length)
{
    if (length >= 3 && quint8(data[0]) == 0xEF && quint8(data[1]) == 0xBB && quint8(data[2]) == 0xBF) {
        QStringDecoder decoder(
            QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        return decoder(QByteArrayView(data, length));
    }
    return QString::fromUtf8(data, length);
}

// The text of a string token's content, escapes resolved. A \u escape of a lone surrogate is
// kept as that code unit, as Qt's parser does; the writer escapes it again, so it survives a round
// trip.
QString unescape(const char *data, quint32 length, bool escaped)
{
    if (!escaped) {
        return fromUtf8Text(data, length);
    }
    QString out;
    out.reserve(length);
    const char *p = data;
    const char *end = data + length;
    const char *run = p;
    const auto hex4 = [](const char *at) {
        char16_t unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = at[i];
            unit = char16_t(unit * 16 + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10));
        }
        return unit;
    };
    while (p < end) {
        if (*p != '\\') {
            ++p;
            continue;
        }
        out.append(fromUtf8Text(run, p - run));
        ++p;
        switch (*p) {
        case 'b':
            out.append(u'\b');
            break;
        case 'f':
            out.append(u'\f');
            break;
        case 'n':
            out.append(u'\n');
            break;
        case 'r':
            out.append(u'\r');
            break;
        case 't':
            out.append(u'\t');
            break;
        case 'u':
            out.append(QChar(hex4(p + 1)));
            p += 4;
            break;
        default: // '"', '\\', '/'
            out.append(QLatin1Char(*p));
        }
        ++p;
        run = p;
    }
    out.append(fromUtf8Text(run, end - run));
    return out;
}

class Parser {
public:
    // With `deferElements`, an object that is an element of an array is checked but becomes one
    // node of its span, to be parsed on its own when it is read.
    Parser(const QByteArray &bytes, std::vector<Node> &nodes, bool deferElements)
        : m_begin(bytes.constData())
        , m_p(bytes.constData())
        , m_end(bytes.constData() + bytes.size())
        , m_nodes(nodes)
        , m_deferElements(deferElements)
    {
    }

    void parse()
    {
        // A byte order mark is tolerated at the start, as Qt's parser does.
        if (m_end - m_p >= 3 && std::memcmp(m_p, "\xEF\xBB\xBF", 3) == 0) {
            m_p += 3;
        }
        value(0);
        skipSpace();
        if (m_p != m_end) {
            error("unexpected text after the value");
        }
    }

    // The nodes of one deferred element, offsets still counted from the start of the document.
    // The whole document was checked when it was read, so this cannot fail.
    void parseElement(const Node &element)
    {
        m_p = m_begin + element.start;
        m_end = m_p + element.length;
        value(0);
    }

private:
    [[noreturn]] void error(const char *what)
    {
        throw JSONCodingError(JSONCodingError::Decoding, QString(),
            u"not valid JSON: "_s + QLatin1StringView(what) + u" at offset "_s + QString::number(m_p - m_begin));
    }

    void skipSpace()
    {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t')) {
            ++m_p;
        }
    }

    // Inside a deferred element nothing is recorded: the indexes returned there mean nothing.
    quint32 push(Node::Type type, const char *start)
    {
        if (m_checkingOnly) {
            return 0;
        }
        if (m_nodes.size() >= std::numeric_limits<quint32>::max() - 1) {
            error("document too large");
        }
        m_nodes.push_back(Node {type, false, false, false, quint32(start - m_begin), 0, 0, 0});
        return quint32(m_nodes.size() - 1);
    }
    void close(quint32 index)
    {
        if (!m_checkingOnly) {
            m_nodes[index].end = quint32(m_nodes.size());
        }
    }
    void setSpan(quint32 index, bool flag, const char *start)
    {
        if (!m_checkingOnly) {
            m_nodes[index].flag = flag;
            m_nodes[index].length = quint32(m_p - start);
        }
    }

    void element(int depth)
    {
        skipSpace();
        if (!m_deferElements || m_checkingOnly || m_p == m_end || *m_p != '{') {
            value(depth);
            return;
        }
        const char *start = m_p;
        const quint32 index = push(Node::Object, start);
        m_checkingOnly = true;
        value(depth);
        m_checkingOnly = false;
        m_nodes[index].deferred = true;
        m_nodes[index].length = quint32(m_p - start);
        close(index);
    }

    void value(int depth)
    {
        skipSpace();
        if (m_p == m_end) {
            error("unexpected end");
        }
        switch (*m_p) {
        case '{':
            object(depth);
            return;
        case '[':
            array(depth);
            return;
        case '"':
            string();
            return;
        case 't':
            literal("true", Node::True);
            return;
        case 'f':
            literal("false", Node::False);
            return;
        case 'n':
            literal("null", Node::Null);
            return;
        default:
            if (*m_p == '-' || (*m_p >= '0' && *m_p <= '9')) {
                number();
                return;
            }
            error("unexpected character");
        }
    }

    void literal(const char *word, Node::Type type)
    {
        const size_t length = std::char_traits<char>::length(word);
        if (size_t(m_end - m_p) < length || std::memcmp(m_p, word, length) != 0) {
            error("unexpected character");
        }
        close(push(type, m_p));
        m_p += length;
    }

    void object(int depth)
    {
        if (depth >= maximumDepth) {
            error("nesting too deep");
        }
        const quint32 index = push(Node::Object, m_p);
        ++m_p;
        quint32 count = 0;
        const size_t keysBase = m_keyNodes.size();
        skipSpace();
        if (m_p != m_end && *m_p == '}') {
            ++m_p;
        } else {
            for (;;) {
                skipSpace();
                if (m_p == m_end || *m_p != '"') {
                    error("expected a key");
                }
                const quint32 key = string();
                if (!m_checkingOnly) {
                    m_keyNodes.push_back(key);
                    m_keyHashes.push_back(keyHash(m_nodes[key]));
                }
                skipSpace();
                if (m_p == m_end || *m_p != ':') {
                    error("expected ':'");
                }
                ++m_p;
                value(depth + 1);
                ++count;
                skipSpace();
                if (m_p != m_end && *m_p == ',') {
                    ++m_p;
                    continue;
                }
                if (m_p != m_end && *m_p == '}') {
                    ++m_p;
                    break;
                }
                error("expected ',' or '}'");
            }
        }
        if (m_checkingOnly) {
            return;
        }
        if (count > 1) {
            shadowRepeatedKeys(keysBase);
        }
        m_keyNodes.resize(keysBase);
        m_keyHashes.resize(keysBase);
        m_nodes[index].count = count;
        m_nodes[index].length = quint32(m_p - (m_begin + m_nodes[index].start));
        close(index);
    }

    // FNV-1a over the key's text as UTF-8, escapes resolved, so that equal keys hash alike
    // however they were spelt.
    quint32 keyHash(const Node &key) const
    {
        QByteArray decoded;
        const char *data = m_begin + key.start;
        qsizetype length = key.length;
        if (key.flag) {
            decoded = unescape(data, key.length, true).toUtf8();
            data = decoded.constData();
            length = decoded.size();
        }
        quint32 hash = 2166136261u;
        for (qsizetype i = 0; i < length; ++i) {
            hash = (hash ^ quint8(data[i])) * 16777619u;
        }
        return hash;
    }

    bool sameKey(const Node &a, const Node &b) const
    {
        if (!a.flag && !b.flag) {
            return a.length == b.length && std::memcmp(m_begin + a.start, m_begin + b.start, a.length) == 0;
        }
        return unescape(m_begin + a.start, a.length, a.flag) == unescape(m_begin + b.start, b.length, b.flag);
    }

    // Marks every member whose key comes again later in the same object. Repeats are rare, so a
    // branch-free scan of the hashes rules them out first.
    void shadowRepeatedKeys(size_t base)
    {
        const quint32 *hashes = m_keyHashes.data() + base;
        const size_t n = m_keyHashes.size() - base;
        bool collision = false;
        for (size_t i = 1; i < n; ++i) {
            bool any = false;
            for (size_t j = 0; j < i; ++j) {
                any |= hashes[j] == hashes[i];
            }
            collision |= any;
        }
        if (!collision) {
            return;
        }
        for (size_t i = 0; i + 1 < n; ++i) {
            for (size_t j = i + 1; j < n; ++j) {
                if (hashes[i] == hashes[j] && sameKey(m_nodes[m_keyNodes[base + i]], m_nodes[m_keyNodes[base + j]])) {
                    m_nodes[m_keyNodes[base + i]].shadowed = true;
                    break;
                }
            }
        }
    }

    void array(int depth)
    {
        if (depth >= maximumDepth) {
            error("nesting too deep");
        }
        const quint32 index = push(Node::Array, m_p);
        ++m_p;
        quint32 count = 0;
        skipSpace();
        if (m_p != m_end && *m_p == ']') {
            ++m_p;
        } else {
            for (;;) {
                element(depth + 1);
                ++count;
                skipSpace();
                if (m_p != m_end && *m_p == ',') {
                    ++m_p;
                    continue;
                }
                if (m_p != m_end && *m_p == ']') {
                    ++m_p;
                    break;
                }
                error("expected ',' or ']'");
            }
        }
        if (!m_checkingOnly) {
            m_nodes[index].count = count;
            close(index);
        }
    }

    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    quint32 string()
    {
        ++m_p; // opening quote
        const char *start = m_p;
        bool escaped = false;
        bool nonAscii = false;
        for (;;) {
            if (m_p == m_end) {
                error("unterminated string");
            }
            const unsigned char c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                break;
            }
            if (c == '\\') {
                escaped = true;
                ++m_p;
                if (m_p == m_end) {
                    error("unterminated string");
                }
                switch (*m_p) {
                case '"':
                case '\\':
                case '/':
                case 'b':
                case 'f':
                case 'n':
                case 'r':
                case 't':
                    ++m_p;
                    break;
                case 'u':
                    ++m_p;
                    for (int i = 0; i < 4; ++i, ++m_p) {
                        if (m_p == m_end || hexValue(*m_p) < 0) {
                            error("bad \\u escape");
                        }
                    }
                    break;
                default:
                    error("bad escape");
                }
                continue;
            }
            if (c < 0x20) {
                error("control character in string");
            }
            if (c >= 0x80) {
                nonAscii = true;
            }
            ++m_p;
        }
        if (nonAscii && !QUtf8StringView(start, m_p - start).isValidUtf8()) {
            error("invalid UTF-8 in string");
        }
        const quint32 index = push(Node::String, start);
        setSpan(index, escaped, start);
        close(index);
        ++m_p; // closing quote
        return index;
    }

    void digits()
    {
        if (m_p == m_end || *m_p < '0' || *m_p > '9') {
            error("bad number");
        }
        while (m_p != m_end && *m_p >= '0' && *m_p <= '9') {
            ++m_p;
        }
    }

    void number()
    {
        const char *start = m_p;
        bool fractional = false;
        if (*m_p == '-') {
            ++m_p;
        }
        if (m_p != m_end && *m_p == '0') {
            ++m_p;
        } else {
            digits();
        }
        if (m_p != m_end && *m_p == '.') {
            ++m_p;
            fractional = true;
            digits();
        }
        if (m_p != m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            fractional = true;
            if (m_p != m_end && (*m_p == '+' || *m_p == '-')) {
                ++m_p;
            }
            digits();
        }
        const quint32 index = push(Node::Number, start);
        setSpan(index, fractional, start);
        close(index);
    }

    const char *m_begin;
    const char *m_p;
    const char *m_end;
    std::vector<Node> &m_nodes;
    const bool m_deferElements;
    bool m_checkingOnly = false;
    // The keys of the objects being parsed, innermost last.
    std::vector<quint32> m_keyNodes;
    std::vector<quint32> m_keyHashes;
};

} // namespace

Document::Document(const QByteArray &bytes)
    : m_bytes(bytes)
{
    // Nodes address the text with 32-bit offsets.
    if (quint64(bytes.size()) >= std::numeric_limits<quint32>::max()) {
        throw JSONCodingError(JSONCodingError::Decoding, QString(), u"not valid JSON: document too large"_s);
    }
    const bool deferElements = bytes.size() >= deferElementsFrom;
    // A document parsed whole has a node for every dozen bytes or so; one whose elements wait
    // has few nodes beside them.
    m_nodes.reserve(deferElements ? 64 : size_t(bytes.size() / 12) + 4);
    Parser(m_bytes, m_nodes, deferElements).parse();
}

Document::Document(const Document &document, const Node &element)
    : m_bytes(document.m_bytes)
{
    m_nodes.reserve(size_t(element.length / 12) + 4);
    Parser(m_bytes, m_nodes, false).parseElement(element);
}

QString Document::string(const Node &node) const
{
    return unescape(m_bytes.constData() + node.start, node.length, node.flag);
}

bool Document::keyEquals(const Node &node, const char *key, size_t keyLength) const
{
    if (!node.flag) {
        return node.length == keyLength && std::memcmp(m_bytes.constData() + node.start, key, keyLength) == 0;
    }
    return string(node) == QLatin1StringView(key, qsizetype(keyLength));
}

bool Document::number(const Node &node, double &out) const
{
    const char *data = m_bytes.constData() + node.start;
    const auto result = std::from_chars(data, data + node.length, out);
    return result.ec == std::errc() && std::isfinite(out);
}

bool Document::integer(const Node &node, qint64 &out) const
{
    const char *data = m_bytes.constData() + node.start;
    if (!node.flag) {
        long long value = 0;
        const auto result = std::from_chars(data, data + node.length, value);
        if (result.ec != std::errc()) {
            return false;
        }
        out = value;
        return true;
    }
    // "123.000" is integral: read its digits exactly rather than through a double, which would
    // round integers beyond 2^53.
    const char *dot = static_cast<const char *>(std::memchr(data, '.', node.length));
    if (dot && std::all_of(dot + 1, data + node.length, [](char c) { return c == '0'; })) {
        long long value = 0;
        const auto result = std::from_chars(data, dot, value);
        if (result.ec != std::errc() || result.ptr != dot) {
            return false;
        }
        out = value;
        return true;
    }
    double value = 0;
    if (!number(node, value) || value != std::trunc(value) || value < -9223372036854775808.0
        || value >= 9223372036854775808.0) {
        return false;
    }
    out = qint64(value);
    return true;
}

void Decoder::mistyped(const char *expected)
{
    fail(JSONCodingError::Decoding, path, u"expected "_s + QLatin1StringView(expected));
}

void Decoder::value(quint32 index, bool &out)
{
    const Node &n = doc->node(index);
    if (n.type != Node::True && n.type != Node::False) {
        mistyped("boolean");
    }
    out = n.type == Node::True;
}

void Decoder::value(quint32 index, qint64 &out)
{
    if (!doc->integer(expect(index, Node::Number, "integer"), out)) {
        mistyped("integer");
    }
}

void Decoder::value(quint32 index, double &out)
{
    if (!doc->number(expect(index, Node::Number, "number"), out)) {
        fail(JSONCodingError::Decoding, path, u"number out of range"_s);
    }
}

void Decoder::value(quint32 index, JSONValue &out)
{
    const Node &n = doc->node(index);
    switch (n.type) {
    case Node::Null:
        out = JSONValue();
        return;
    case Node::False:
    case Node::True:
        out = JSONValue(n.type == Node::True);
        return;
    case Node::Number: {
        // A number beyond the range of a double fits none of the cases.
        double number = 0;
        if (!doc->number(n, number)) {
            fail(JSONCodingError::Decoding, path, ModelText::unsupportedJsonValue);
        }
        out = JSONValue(number);
        return;
    }
    case Node::String:
        out = JSONValue(doc->string(n));
        return;
    case Node::Array: {
        JSONValue::Array array;
        value(index, array);
        out = JSONValue(std::move(array));
        return;
    }
    case Node::Object: {
        JSONObject object;
        value(index, object);
        out = JSONValue(std::move(object));
        return;
    }
    }
}

void Decoder::value(quint32 index, JSONObject &out)
{
    if (doc->node(index).deferred) {
        inElement(index, [&] { value(0, out); });
        return;
    }
    const Node &n = expect(index, Node::Object, "object");
    // Small ones only: a large object is seldom repeated, and its text would stay in the table.
    constexpr quint32 sharedUpTo = 1024;
    const QByteArray text = n.length <= sharedUpTo
        ? QByteArray::fromRawData(doc->text().constData() + n.start, qsizetype(n.length))
        : QByteArray();
    if (!text.isEmpty()) {
        if (const auto shared = m_objectsByText.constFind(text); shared != m_objectsByText.cend()) {
            out = *shared;
            return;
        }
    }
    out.clear();
    quint32 member = index + 1;
    for (quint32 i = 0; i < n.count; ++i) {
        if (doc->node(member).shadowed) {
            member = doc->node(member + 1).end;
            continue;
        }
        const QString key = doc->string(doc->node(member));
        const QByteArray keyBytes = key.toUtf8();
        path.push(keyBytes.constData());
        JSONValue element;
        value(member + 1, element);
        path.pop();
        out[key] = std::move(element);
        member = doc->node(member + 1).end;
    }
    if (!text.isEmpty()) {
        m_objectsByText.insert(text, out);
    }
}

QByteArray serialize(const QJsonValue &json)
{
    if (json.isObject()) {
        return QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact);
    }
    if (json.isArray()) {
        return QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact);
    }
    const QByteArray wrapped = QJsonDocument(QJsonArray {json}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

QJsonValue parseDocument(const QByteArray &bytes)
{
    // QJsonDocument holds only an object or an array; a bare value is read inside an array.
    const bool bare = !bytes.startsWith('{') && !bytes.startsWith('[');
    QJsonParseError error;
    const QByteArray text = escapeInnerByteOrderMarks(bytes);
    const QJsonDocument document = QJsonDocument::fromJson(bare ? '[' + text + ']' : text, &error);
    if (bare && error.error == QJsonParseError::NoError) {
        return document.array().at(0);
    }
    if (error.error != QJsonParseError::NoError) {
        throw JSONCodingError(JSONCodingError::Decoding, QString(), u"not valid JSON: "_s + error.errorString());
    }
    if (document.isArray()) {
        return document.array();
    }
    return document.object();
}

} // namespace quorvin::json_detail
