#include "model/JsonCodec.h"
#include "model/SyncResponseEnvelope.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

TEST(RecordCodec, EnvelopeRoundTrip)
{
    const QByteArray text = R"({"items":[{"local_id":"a","title":"T","fingerprint":"f","has_due_time":false,
        "is_completed":true,"content_hash":"h","priority":null,"alarms":[{"kind":"relative","relative_offset_seconds":-900}],
        "raw_apple_payload_json":{"x":null,"y":[1,true,"s"]}}],
        "deleted_ids":[],"deleted_list_ids":["l"],"lists":[{"list_id":"l1","list_name":"n","sort_order":3}],
        "next_cursor":"7","generated_at":"g","full_snapshot":true,"extra":1})";
    const auto envelope = decodeJson<SyncResponseEnvelope>(text);
    ASSERT_EQ(envelope.items.size(), 1);
    EXPECT_FALSE(envelope.items[0].priority);
    EXPECT_EQ(*envelope.items[0].alarms->at(0).relative_offset_seconds, -900.0);
    const auto again = decodeJson<SyncResponseEnvelope>(encodeJson(envelope));
    EXPECT_EQ(encodeJson(again), encodeJson(envelope));
    EXPECT_EQ(again.items[0].raw_apple_payload_json, envelope.items[0].raw_apple_payload_json);
}
