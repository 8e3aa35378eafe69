#include "model/DateFormatters.h"
#include "model/ReminderPayload.h"
#include "model/ShortestDecimal.h"

#include "model/Digest.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <new>

namespace quorvin {

namespace {

// A growable byte buffer that keeps its storage between calls: the hash runs for every reminder
// on every refresh, so the canonical text is written straight into reused memory as UTF-8.
class ByteBuffer {
public:
    ~ByteBuffer() { std::free(m_data); }

    void clear() { m_size = 0; }
    char *reserveTail(size_t extra)
    {
        if (m_size + extra > m_capacity) {
            const size_t capacity = std::max(m_capacity * 2, m_size + extra + 256);
            char *grown = static_cast<char *>(std::realloc(m_data, capacity));
            if (!grown) {
                throw std::bad_alloc();
            }
            m_data = grown;
            m_capacity = capacity;
        }
        return m_data + m_size;
    }
    void commitTail(char *end) { m_size = size_t(end - m_data); }
    QByteArrayView view() const { return QByteArrayView(m_data, qsizetype(m_size)); }

private:
    char *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

class Canonical {
public:
    explicit Canonical(ByteBuffer &buffer)
        : m_out(buffer)
    {
        m_out.clear();
    }

    void text(const QString &value)
    {
        const char16_t *p = reinterpret_cast<const char16_t *>(value.constData());
        const char16_t *end = p + value.size();
        // At most three bytes for each UTF-16 unit; a surrogate pair takes four for two.
        char *out = m_out.reserveTail(size_t(value.size()) * 3);
        while (p < end) {
            const char16_t c = *p++;
            if (c < 0x80) {
                *out++ = char(c);
            } else if (c < 0x800) {
                *out++ = char(0xC0 | (c >> 6));
                *out++ = char(0x80 | (c & 0x3F));
            } else if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
                const char32_t u = QChar::surrogateToUcs4(c, *p++);
                *out++ = char(0xF0 | (u >> 18));
                *out++ = char(0x80 | ((u >> 12) & 0x3F));
                *out++ = char(0x80 | ((u >> 6) & 0x3F));
                *out++ = char(0x80 | (u & 0x3F));
            } else {
                // A lone surrogate has no UTF-8 form; it counts as the replacement character.
                const char16_t unit = QChar::isSurrogate(c) ? char16_t(0xFFFD) : c;
                *out++ = char(0xE0 | (unit >> 12));
                *out++ = char(0x80 | ((unit >> 6) & 0x3F));
                *out++ = char(0x80 | (unit & 0x3F));
            }
        }
        m_out.commitTail(out);
    }
    void text(const std::optional<QString> &value)
    {
        if (value) {
            text(*value);
        }
    }
    void bytes(QByteArrayView value)
    {
        char *out = m_out.reserveTail(size_t(value.size()));
        std::memcpy(out, value.data(), size_t(value.size()));
        m_out.commitTail(out + value.size());
    }
    void integer(qint64 value)
    {
        char *out = m_out.reserveTail(24);
        m_out.commitTail(std::to_chars(out, out + 24, value).ptr);
    }
    void integer(const std::optional<qint64> &value)
    {
        if (value) {
            integer(*value);
        }
    }
    void flag(bool value) { sep(value ? '1' : '0'); }
    void flag(const std::optional<bool> &value) { flag(value.value_or(false)); }
    void sep(char c = '|')
    {
        char *out = m_out.reserveTail(1);
        *out = c;
        m_out.commitTail(out + 1);
    }

    void integers(const std::optional<QList<qint64>> &values)
    {
        if (!values) {
            return;
        }
        for (qsizetype i = 0; i < values->size(); ++i) {
            if (i) {
                sep(',');
            }
            integer(values->at(i));
        }
    }
    void texts(const std::optional<QList<QString>> &values, char separator)
    {
        if (!values) {
            return;
        }
        for (qsizetype i = 0; i < values->size(); ++i) {
            if (i) {
                sep(separator);
            }
            text(values->at(i));
        }
    }

    void alarm(const ReminderAlarmPayload &a)
    {
        text(a.alarm_id);
        sep('/');
        text(a.kind);
        sep('/');
        text(a.absolute_date);
        sep('/');
        if (a.relative_offset_seconds) {
            bytes(shortestDecimalWithFraction(*a.relative_offset_seconds));
        }
        sep('/');
        text(a.proximity);
        sep('/');
        text(a.source_alarm_id);
    }

    void rule(const ReminderRecurrenceRulePayload &r)
    {
        text(r.frequency);
        sep('/');
        integer(r.interval);
        sep('/');
        texts(r.week_days, ',');
        sep('/');
        integers(r.month_days);
        sep('/');
        integers(r.months);
        sep('/');
        integers(r.set_positions);
        sep('/');
        text(r.end_date);
        sep('/');
        integer(r.occurrence_count);
    }

private:
    ByteBuffer &m_out;
};

} // namespace

ReminderPayload ReminderPayload::withContentHash() const
{
    static thread_local ByteBuffer buffer;
    Canonical c(buffer);
    c.text(local_id);
    c.sep();
    c.integer(schema_version);
    c.sep();
    c.text(source);
    c.sep();
    c.text(source_item_id);
    c.sep();
    c.text(source_external_id);
    c.sep();
    c.text(created_at);
    c.sep();
    c.text(external_id);
    c.sep();
    c.text(list_id);
    c.sep();
    c.text(list_name);
    c.sep();
    c.text(title);
    c.sep();
    c.text(notes);
    c.sep();
    c.text(fingerprint);
    c.sep();
    c.text(start_date);
    c.sep();
    c.flag(has_start_time);
    c.sep();
    c.text(due_date);
    c.sep();
    c.flag(has_due_time);
    c.sep();
    c.text(time_zone);
    c.sep();
    c.flag(is_floating_time);
    c.sep();
    c.text(url);
    c.sep();
    c.text(location_text);
    c.sep();
    c.text(repeat_type);
    c.sep();
    c.text(repeat_summary);
    c.sep();
    if (alarms) {
        for (qsizetype i = 0; i < alarms->size(); ++i) {
            if (i) {
                c.sep(';');
            }
            c.alarm(alarms->at(i));
        }
    }
    c.sep();
    if (recurrence_rule) {
        c.rule(*recurrence_rule);
    }
    c.sep();
    c.integer(priority);
    c.sep();
    c.texts(tags, ',');
    c.sep();
    c.flag(is_completed);
    c.sep();
    c.text(completion_date);

    ReminderPayload copy = *this;
    copy.content_hash = sha256Hex(buffer.view());
    return copy;
}

std::optional<QString> ReminderPayload::isoString(const std::optional<QDateTime> &date)
{
    if (!date || !date->isValid()) {
        return std::nullopt;
    }
    return DateFormatters::fractionalISO8601(*date);
}

} // namespace quorvin
