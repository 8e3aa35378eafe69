#include "model/CloudAccountDeletionResponse.h"
#include "model/CloudAuthSessionResponse.h"
#include "model/CloudDeviceSessionPayload.h"
#include "model/CloudDevicesResponse.h"
#include "model/CloudIdentityLinkResponse.h"
#include "model/CloudLinkedPhoneVerificationResponse.h"
#include "model/CloudPhoneCodeRequestResponse.h"
#include "model/CloudPhoneLoginResponse.h"
#include "model/CloudSessionExchangeRequest.h"
#include "model/CloudSessionExchangeResponse.h"
#include "model/CloudSyncWaitResponse.h"
#include "model/CloudUserProfileResponse.h"
#include "model/CloudUserProfileUpdateRequest.h"
#include "model/DiagnosticReportUploadRequest.h"
#include "model/DiagnosticReportUploadResponse.h"
#include "model/JsonCodec.h"
#include "model/MqvReminderCountReportRequest.h"
#include "model/ReminderUpsertMutationPayload.h"
#include "model/SyncCountVerificationResponse.h"

#include <gtest/gtest.h>

#include <QSet>

#include <functional>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {
struct Decoding {
    std::function<void()> decode;
    QString error; // empty: decodes
};

void check(const QList<Decoding> &cases)
{
    for (const Decoding &c : cases) {
        try {
            c.decode();
            EXPECT_TRUE(c.error.isEmpty()) << "decoded, wanted " << c.error.toStdString();
        } catch (const JSONCodingError &e) {
            EXPECT_EQ(e.description(), c.error);
        }
    }
}
} // namespace

TEST(SideChannelRecords, DecodeAndEncodeByTheirRules)
{
    check({
        {[] {
             const auto r
                 = decodeJson<CloudSyncWaitResponse>(R"({"changed":true,"current_cursor":"c","generated_at":"g"})");
             EXPECT_FALSE(r.count_verification_request || r.diagnostic_request_id);
         },
            {}},
        {[] {
             const auto r = decodeJson<CloudSyncWaitResponse>(
                 R"({"changed":false,"current_cursor":"c","generated_at":"g","diagnostic_request_id":""})");
             EXPECT_EQ(r.diagnostic_request_id, u""_s);
         },
            {}},
        {[] {
             EXPECT_FALSE(decodeJson<CloudSyncWaitResponse>(
                 R"({"changed":false,"current_cursor":"c","generated_at":"g","diagnostic_request_id":null})")
                              .diagnostic_request_id);
         },
            {}},
        {[] { decodeJson<CloudSyncWaitResponse>(R"({"current_cursor":"c","generated_at":"g"})"); },
            u"changed: missing"_s},
        {[] {
             decodeJson<CloudSyncWaitResponse>(
                 R"({"changed":true,"current_cursor":"c","generated_at":"g","count_verification_request":{"request_id":"r","server_cursor":"s"}})");
         },
            u"count_verification_request.requested_at: missing"_s},
        {[] {
             const auto v = decodeJson<SyncCountVerificationResponse>(
                 R"({"state":"Matched","server_cursor":"s","server_counts":{"total_count":3,"completed_count":1,"incomplete_count":2}})");
             EXPECT_EQ(v.state, u"Matched"_s);
             EXPECT_FALSE(v.mqv_report);
             EXPECT_EQ(v.server_counts.incomplete_count, 2);
         },
            {}},
        {[] { decodeJson<SyncCountVerificationResponse>(R"({"state":"matched","server_cursor":"s"})"); },
            u"server_counts: missing"_s},
        {[] {
             decodeJson<SyncCountVerificationResponse>(
                 R"({"state":"matched","server_cursor":"s","server_counts":{"total_count":1,"completed_count":0,"incomplete_count":1},
                     "mqv_report":{"device_id":"d","server_cursor":"s","reported_at":"r","counts":{"total_count":1,"completed_count":"0","incomplete_count":1}}})");
         },
            u"mqv_report.counts.completed_count: expected integer"_s},
        {[] {
             const auto r = decodeJson<DiagnosticReportUploadResponse>(R"({"report_id":"x","created_at":"c"})");
             EXPECT_FALSE(r.retained_days || r.server_cursor);
         },
            {}},
        {[] { decodeJson<DiagnosticReportUploadResponse>(R"({"created_at":"c","retained_days":7})"); },
            u"report_id: missing"_s},
    });

    EXPECT_EQ(encodeJson(MqvReminderCountReportRequest {u"r"_s, u"s"_s, 0, 0, 0}),
        R"({"request_id":"r","server_cursor":"s","total_count":0,"completed_count":0,"incomplete_count":0})");

    DiagnosticReportUploadRequest report {1, u"mqv"_s, u"macos"_s, std::nullopt, std::nullopt, u"g"_s,
        JSONValue(JSONObject {{u"lines"_s, JSONValue(JSONValue::Array {})}}), std::nullopt};
    EXPECT_EQ(encodeJson(report),
        R"({"schema_version":1,"client_kind":"mqv","platform":"macos","generated_at":"g","report":{"lines":[]}})");
    report.parent_report_id = u"diag-7"_s;
    EXPECT_TRUE(encodeJson(report).endsWith(R"(,"parent_report_id":"diag-7"})"));
}

TEST(AccountRecords, DecodeAndEncodeByTheirRules)
{
    EXPECT_EQ(encodeJson(CloudUserProfileUpdateRequest {}), "{}");
    CloudUserProfileUpdateRequest password;
    password.new_password = u"p"_s;
    EXPECT_EQ(encodeJson(password), R"({"new_password":"p"})");
    EXPECT_EQ(encodeJson(CloudSessionExchangeRequest {u"mqv"_s, {}, {}, {}, {}}), R"({"client_kind":"mqv"})");

    check({
        {[] {
             const auto r = decodeJson<CloudAuthSessionResponse>(R"({"user_id":"u","session":{},"extra":1})");
             EXPECT_FALSE(r.profile || r.identities);
         },
            {}},
        {[] { decodeJson<CloudUserProfileResponse>(R"({"user_id":"u"})"); }, u"profile: missing"_s},
        {[] {
             EXPECT_FALSE(
                 decodeJson<CloudLinkedPhoneVerificationResponse>(R"({"user_id":"u","identity":null})").identity);
         },
            {}},
        {[] { decodeJson<CloudIdentityLinkResponse>(R"({"user_id":"u"})"); }, u"identity: missing"_s},
        {[] {
             EXPECT_FALSE(decodeJson<CloudPhoneCodeRequestResponse>(
                 R"({"challenge_id":"c","expires_at":"e","resend_after_seconds":60,"dev_code":null})")
                              .dev_code);
         },
            {}},
        {[] {
             decodeJson<CloudPhoneCodeRequestResponse>(
                 R"({"challenge_id":"c","expires_at":"e","resend_after_seconds":"60"})");
         },
            u"resend_after_seconds: expected integer"_s},
        {[] {
             decodeJson<CloudUserProfileResponse>(R"({"user_id":"u","profile":{"password_set":1},"identities":[]})");
         },
            u"profile.password_set: expected boolean"_s},
    });
}

TEST(AccountRecords, DeviceSessionIdentityEqualityAndHash)
{
    CloudDeviceSessionPayload withSession;
    withSession.session_id = u"  s-1\n"_s;
    withSession.device_id = u"d"_s;
    EXPECT_EQ(withSession.id(), u"s-1"_s);

    CloudDeviceSessionPayload fallback;
    fallback.session_id = u"   "_s;
    fallback.client_kind = u"hqv"_s;
    fallback.device_id = u"  phone-7 "_s;
    EXPECT_EQ(fallback.id(), u"hqv:phone-7"_s);
    fallback.created_at = u"2024"_s;
    EXPECT_EQ(fallback.id(), u"hqv:phone-7:2024"_s);

    CloudDeviceSessionPayload blank;
    blank.device_id = u" "_s;
    EXPECT_EQ(blank.id(), u""_s);
    EXPECT_EQ(CloudDeviceSessionPayload {}.id(), u""_s);

    CloudDeviceSessionPayload other = withSession;
    EXPECT_EQ(other, withSession);
    EXPECT_EQ(qHash(other), qHash(withSession));
    other.app_version = u"1.2"_s;
    EXPECT_EQ(other.id(), withSession.id());
    EXPECT_NE(other, withSession);
    CloudDeviceSessionPayload empty = withSession;
    empty.app_version = u""_s;
    EXPECT_NE(empty, withSession);
    EXPECT_NE(qHash(empty), qHash(withSession));
    EXPECT_EQ(QSet<CloudDeviceSessionPayload>({other, withSession, other}).size(), 2);
}

TEST(AccountRecords, EveryAnswerFailsOnAMissingNullOrMistypedRequiredKey)
{
    const QByteArray session = R"({"session_id":"s","device_id":"d","client_kind":"mqv"})";
    const QByteArray identity = R"({"provider":"phone","display_label":"138****0000"})";
    check({
        {[&] {
             const auto r = decodeJson<CloudPhoneLoginResponse>(
                 R"({"access_token":"t","user_id":"u","identity":)" + identity + R"(,"session":)" + session + "}");
             EXPECT_EQ(r.identity.provider, u"phone"_s);
             EXPECT_EQ(r.session.client_kind, u"mqv"_s);
             EXPECT_FALSE(r.profile);
         },
            {}},
        {[&] {
             decodeJson<CloudPhoneLoginResponse>(R"({"access_token":"t","user_id":"u","session":)" + session + "}");
         },
            u"identity: missing"_s},
        {[&] {
             decodeJson<CloudPhoneLoginResponse>(
                 R"({"access_token":null,"user_id":"u","identity":{},"session":)" + session + "}");
         },
            u"access_token: null"_s},
        {[&] {
             decodeJson<CloudPhoneLoginResponse>(
                 R"({"access_token":"t","user_id":"u","identity":{"linked_at":7},"session":{}})");
         },
            u"identity.linked_at: expected string"_s},
        {[] { decodeJson<CloudSessionExchangeResponse>(R"({"access_token":"t","user_id":"u"})"); },
            u"session: missing"_s},
        {[] {
             decodeJson<CloudSessionExchangeResponse>(
                 R"({"access_token":"t","user_id":"u","session":{},"profile":{"nickname":["x"]}})");
         },
            u"profile.nickname: expected string"_s},
        {[] {
             const auto r = decodeJson<CloudDevicesResponse>(R"({"sessions":[{},{"platform":"harmonyos"}]})");
             EXPECT_EQ(r.sessions.size(), 2);
             EXPECT_EQ(r.sessions[1].platform, u"harmonyos"_s);
         },
            {}},
        {[] { decodeJson<CloudDevicesResponse>(R"({"sessions":null})"); }, u"sessions: null"_s},
        {[] { decodeJson<CloudDevicesResponse>(R"({"sessions":[{},{"device_id":1}]})"); },
            u"sessions[1].device_id: expected string"_s},
        {[] { decodeJson<CloudAuthSessionResponse>(R"({"user_id":"u","session":{},"identities":[{"provider":2}]})"); },
            u"identities[0].provider: expected string"_s},
        {[] { EXPECT_TRUE(decodeJson<CloudAccountDeletionResponse>(R"({"deleted":true})").deleted); }, {}},
        {[] { decodeJson<CloudAccountDeletionResponse>(R"({"deleted":"true"})"); }, u"deleted: expected boolean"_s},
        {[] { decodeJson<CloudAccountDeletionResponse>("{}"); }, u"deleted: missing"_s},
        // Records that the program only writes still read back by the same rules.
        {[] { decodeJson<ReminderUpsertMutationPayload>(R"({"title":"t","alarms":[{"alarm_id":"a"}]})"); },
            u"alarms[0].kind: missing"_s},
        {[] {
             decodeJson<DiagnosticReportUploadRequest>(
                 R"({"schema_version":1,"client_kind":"mqv","platform":"macos","generated_at":"g","report":null})");
         },
            u"report: null"_s},
        {[] {
             decodeJson<DiagnosticReportUploadRequest>(
                 R"({"schema_version":1,"client_kind":"mqv","platform":"macos","generated_at":"g","report":{"a":[1,1e999]}})");
         },
            u"report.a[1]: Unsupported JSON value"_s},
    });
}
