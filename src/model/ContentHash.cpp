#include "model/DateFormatters.h"
#include "model/ReminderPayload.h"
#include "model/ShortestDecimal.h"

#include <QCryptographicHash>

namespace quorvin {

namespace {

// The canonical text is built straight into UTF-8 bytes in one reused buffer: the hash runs for
// every reminder on every refresh.
class Canonical {
public:
    explicit Canonical(QByteArray &buffer)
        : m_out(buffer)
    {
        m_out.resize(0);
    }

    void text(const QString &value)
    {
        const char16_t *data = reinterpret_cast<const char16_t *>(value.constData());
        const qsizetype size = value.size();
        qsizetype i = 0;
        while (i < size) {
            qsizetype end = i;
            while (end < size && data[end] < 0x80)
                ++end;
            if (end > i) {
                const qsizetype at = m_out.size();
                m_out.resize(at + (end - i));
                char *target = m_out.data() + at;
                for (qsizetype k = i; k < end; ++k)
                    *target++ = char(data[k]);
                i = end;
            }
            if (i < size) {
                end = i;
                while (end < size && data[end] >= 0x80)
                    ++end;
                m_out.append(QStringView(data + i, end - i).toUtf8());
                i = end;
            }
        }
    }
    void text(const std::optional<QString> &value)
    {
        if (value)
            text(*value);
    }
    void integer(qint64 value) { m_out.append(QByteArray::number(value)); }
    void integer(const std::optional<qint64> &value)
    {
        if (value)
            integer(*value);
    }
    void flag(bool value) { m_out.append(value ? '1' : '0'); }
    void flag(const std::optional<bool> &value) { flag(value.value_or(false)); }
    void sep(char c = '|') { m_out.append(c); }

    void integers(const std::optional<QList<qint64>> &values)
    {
        if (!values)
            return;
        for (qsizetype i = 0; i < values->size(); ++i) {
            if (i)
                sep(',');
            integer(values->at(i));
        }
    }
    void texts(const std::optional<QList<QString>> &values, char separator)
    {
        if (!values)
            return;
        for (qsizetype i = 0; i < values->size(); ++i) {
            if (i)
                sep(separator);
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
        if (a.relative_offset_seconds)
            m_out.append(shortestDecimalWithFraction(*a.relative_offset_seconds));
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
    QByteArray &m_out;
};

} // namespace

ReminderPayload ReminderPayload::withContentHash() const
{
    static thread_local QByteArray buffer;
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
            if (i)
                c.sep(';');
            c.alarm(alarms->at(i));
        }
    }
    c.sep();
    if (recurrence_rule)
        c.rule(*recurrence_rule);
    c.sep();
    c.integer(priority);
    c.sep();
    c.texts(tags, ',');
    c.sep();
    c.flag(is_completed);
    c.sep();
    c.text(completion_date);

    ReminderPayload copy = *this;
    copy.content_hash = QString::fromLatin1(QCryptographicHash::hash(buffer, QCryptographicHash::Sha256).toHex());
    return copy;
}

std::optional<QString> ReminderPayload::isoString(const std::optional<QDateTime> &date)
{
    if (!date)
        return std::nullopt;
    return DateFormatters::fractionalISO8601(*date);
}

} // namespace quorvin
