#pragma once

// The request shape the account's operations share; included only by the account's own files.

#include "account/CloudAccount.h"
#include "cloud/CloudSyncClient.h"

#include <QPointer>

#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace quorvin {

// How a request of the account ended, seen from the account after the await: the answer or the
// failure, unless the account went meanwhile (`gone`: nothing may be touched) or the token the
// request was sent for is no longer the account's (`stale`: the answer is of another sign-in and is
// dropped).
template <typename T> struct CloudAccount::Reply {
    // A request without an answer of its own (void) only tells whether it failed.
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
    std::exception_ptr failure;
    bool gone = false;
    bool stale = false;
};

// Sends `request` with a client carrying `token` (empty: no token) and awaits it. With
// OnTokenChange::drop the answer is stale once the account's token is no longer `token`.
template <typename Request>
auto CloudAccount::awaitReply(QString baseURL, QString token, OnTokenChange onChange, Request request)
    -> QCoro::Task<ReplyOf<Request>>
{
    QPointer<CloudAccount> self(this);
    const CloudSyncClient client = makeClient(baseURL, token);
    ReplyOf<Request> reply;
    try {
        if constexpr (std::is_void_v<typename decltype(request(client))::value_type>) {
            co_await request(client);
            reply.value = true;
        } else {
            reply.value = co_await request(client);
        }
    } catch (...) {
        reply.failure = std::current_exception();
    }
    reply.gone = !self;
    reply.stale = !reply.gone && onChange == OnTokenChange::drop && currentToken() != token;
    co_return reply;
}

// Ends an operation's busy state when its task ends, by whatever path, unless the account went
// first.
class CloudAccount::BusyScope {
public:
    BusyScope(CloudAccount *account, std::function<void(CloudAccount &)> end)
        : m_account(account)
        , m_end(std::move(end))
    {
    }
    ~BusyScope()
    {
        if (m_account) {
            m_end(*m_account);
        }
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    QPointer<CloudAccount> m_account;
    std::function<void(CloudAccount &)> m_end;
};

} // namespace quorvin
