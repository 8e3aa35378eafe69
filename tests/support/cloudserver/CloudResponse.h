#pragma once

#include "platform/http/HttpHeaders.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace quorvin::test {

struct CloudResponse;

// An answer the server holds back until the model changes or the wait runs out (the long-poll).
// The front end calls poll(false) under the server lock after every notifyChanged() and answers
// with what it returns, and calls poll(true) once maxWait has passed, which must then answer.
struct CloudDeferred {
    std::chrono::milliseconds maxWait {0};
    std::function<std::optional<CloudResponse>(bool timedOut)> poll;
};

// One answer of the test cloud server, with how the front end should deliver it.
struct CloudResponse {
    int status = 200;
    QByteArray body;
    HttpHeaders headers;

    // Delivery: wait this long first (on the front end's clock); never answer (until the client
    // gives up or the server stops); or close the connection without a (complete) answer.
    std::chrono::milliseconds delay {0};
    bool hang = false;
    bool dropConnection = false;

    std::shared_ptr<CloudDeferred> deferred;

    // Set by CloudServer::handle(): the journal entry of the request, for recordAnswer().
    qsizetype journalIndex = -1;

    static CloudResponse json(const QJsonObject &object, int status = 200);
    // A JSON text written already.
    static CloudResponse json(QByteArray text, int status = 200);
    static CloudResponse jsonArray(const QJsonArray &array, int status = 200);
    static CloudResponse text(const QByteArray &body, int status = 200);
    // The service's error form: {"error": message}.
    static CloudResponse error(int status, const QString &message);
    static CloudResponse later(
        std::chrono::milliseconds maxWait, std::function<std::optional<CloudResponse>(bool timedOut)> poll);
};

} // namespace quorvin::test
