#include "Convergence.h"
#include "SyncE2eHarness.h"

#include <QJsonObject>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <iostream>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

// Random edits, deletes and completions on both devices, restarts of this machine (with changes
// on both sides while it is closed), injected server errors, time-outs and answers lost after the
// server's write, then a quiet period: the two sides must end up the same, without duplicates,
// with no help from a further change. Half of the sessions have a phone that sends its own source
// ids. The seed is printed on failure; QUORVIN_E2E_SEED reruns one seed, and
// QUORVIN_E2E_TRACE=<text> prints the requests and log lines that mention the text.
// Seeds 17 (both devices complete the same occurrence of a series) and 41 (an empty list created
// just before a restart) once found faults that now have scenarios of their own; they stay in the list.
class RandomSession {
public:
    RandomSession(SyncE2eHarness &harness, quint32 seed)
        : h(harness)
        , random(seed)
    {
    }

    void run(int operations)
    {
        h.phone->setSendsOwnSourceIds(chance(50));
        h.launch();
        for (int i = 0; i < operations; ++i) {
            step();
            h.clock.advance(std::chrono::milliseconds(random.bounded(0, 20000)));
        }
    }

private:
    int pick(int bound) { return static_cast<int>(random.bounded(bound)); }
    bool chance(int percent) { return pick(100) < percent; }

    QString nextTitle() { return u"Task %1"_s.arg(++titleCounter); }
    QDateTime someDue() { return h.clock.now().addSecs(3600 * (1 + pick(72))).addMSecs(-h.clock.now().time().msec()); }

    std::optional<Reminder> someLocal(bool recurringOnly = false)
    {
        std::vector<Reminder> candidates;
        for (const Reminder &reminder : h.localReminders()) {
            if (!recurringOnly
                || (!reminder.recurrenceRules.empty() && !reminder.completed && reminder.dueDateComponents)) {
                candidates.push_back(reminder);
            }
        }
        if (candidates.empty()) {
            return std::nullopt;
        }
        return candidates[pick(int(candidates.size()))];
    }

    std::optional<QJsonObject> someServerItem(bool recurringOnly = false)
    {
        QList<QJsonObject> candidates;
        for (const QJsonObject &item : h.phone->reminders()) {
            if (!recurringOnly
                || (item.value("repeat_type"_L1).isString() && !item.value("is_completed"_L1).toBool()
                    && item.value("due_date"_L1).isString())) {
                candidates << item;
            }
        }
        if (candidates.isEmpty()) {
            return std::nullopt;
        }
        return candidates[pick(int(candidates.size()))];
    }

    std::optional<QString> someLocalList()
    {
        const std::vector<ReminderList> lists = h.store.lists();
        if (lists.empty() || chance(40)) {
            return std::nullopt;
        }
        return lists[pick(int(lists.size()))].id;
    }

    std::optional<QString> someServerList()
    {
        const QList<QJsonObject> lists = h.phone->lists();
        if (lists.isEmpty() || chance(40)) {
            return std::nullopt;
        }
        return lists[pick(int(lists.size()))].value("list_id"_L1).toString();
    }

    void step()
    {
        const int roll = pick(100);
        if (roll < 3) {
            // A while closed, with changes on either side meanwhile.
            h.quit();
            for (int i = pick(4); i >= 0; --i) {
                change(pick(84));
                h.clock.advance(std::chrono::milliseconds(random.bounded(0, 20000)));
            }
            h.launch();
        } else if (roll < 97) {
            change(pick(100));
        } else {
            h.clock.runUntil([&] { return !h.service->isCloudSyncRunnerActive(); }, 5min);
        }
    }

    // One change of either side, or a restart or a fault of the server when `roll` is 84 or more.
    void change(int roll)
    {
        if (roll < 14) {
            h.localReminder({.title = nextTitle(),
                .listId = someLocalList(),
                .notes = chance(30) ? std::optional(u"note %1"_s.arg(pick(1000))) : std::nullopt,
                .due = chance(50) ? std::optional(someDue()) : std::nullopt,
                .daily = chance(15)});
        } else if (roll < 26) {
            if (auto reminder = someLocal()) {
                const int field = pick(3);
                h.editLocal(reminder->id, [&](Reminder &r) {
                    if (field == 0) {
                        r.title = nextTitle();
                    } else if (field == 1) {
                        r.notes = u"edited %1"_s.arg(pick(1000));
                    } else {
                        r.dueDateComponents = SyncE2eHarness::componentsOf(someDue());
                    }
                });
            }
        } else if (roll < 32) {
            if (auto reminder = someLocal()) {
                h.deleteLocal(reminder->id);
            }
        } else if (roll < 38) {
            if (auto reminder = someLocal(); reminder && reminder->recurrenceRules.empty()) {
                h.completeLocal(reminder->id, !reminder->completed);
            }
        } else if (roll < 41) {
            if (auto reminder = someLocal(true)) {
                // Split as a reminders app does, or completed by an outside change that keeps the
                // rules, which the bridge splits.
                if (chance(50)) {
                    h.completeLocalRecurring(reminder->id);
                } else {
                    h.completeLocal(reminder->id);
                }
            }
        } else if (roll < 44) {
            if (chance(50) || h.store.lists().size() < 3) {
                h.localList(u"List %1"_s.arg(++listCounter));
            } else if (auto list = someLocalList()) {
                h.renameLocalList(*list, u"List %1"_s.arg(++listCounter));
            }
        } else if (roll < 58) {
            h.phone->createReminder({.title = nextTitle(),
                .notes = chance(30) ? std::optional(u"phone note %1"_s.arg(pick(1000))) : std::nullopt,
                .due = chance(50) ? std::optional(someDue()) : std::nullopt,
                .listId = someServerList(),
                .repeatType = chance(15) ? std::optional(u"daily"_s) : std::nullopt});
        } else if (roll < 68) {
            if (auto item = someServerItem()) {
                const QString id = item->value("local_id"_L1).toString();
                const int field = pick(3);
                if (field == 0) {
                    h.phone->setTitle(id, nextTitle());
                } else if (field == 1) {
                    h.phone->setNotes(
                        id, chance(30) ? std::nullopt : std::optional(u"phone edit %1"_s.arg(pick(1000))));
                } else {
                    h.phone->setDue(id, someDue());
                }
            }
        } else if (roll < 73) {
            if (auto item = someServerItem()) {
                h.phone->deleteReminder(item->value("local_id"_L1).toString());
            }
        } else if (roll < 78) {
            if (auto item = someServerItem(); item && !item->value("repeat_type"_L1).isString()) {
                h.phone->setCompleted(item->value("local_id"_L1).toString(), !item->value("is_completed"_L1).toBool());
            }
        } else if (roll < 81) {
            if (auto item = someServerItem(true)) {
                const QString id = item->value("local_id"_L1).toString();
                if (chance(50)) {
                    h.phone->completeRecurringAsCommand(id);
                } else {
                    h.phone->completeRecurringAsPair(
                        id, SyncE2eHarness::at(item->value("due_date"_L1).toString()).addDays(1));
                }
            }
        } else if (roll < 84) {
            if (auto list = someServerList()) {
                h.phone->renameList(*list, u"List %1"_s.arg(++listCounter));
            } else {
                h.phone->createList(u"List %1"_s.arg(++listCounter));
            }
        } else if (roll < 88) {
            h.restart();
        } else if (roll < 92) {
            h.server.failNext(1 + pick(3), CloudFault::answer(chance(50) ? 500 : 503, R"({"error":"injected"})"));
        } else if (roll < 95) {
            h.server.failNext(1, CloudFault::appliedThenAnswer(500, R"({"error":"injected after the write"})"));
        } else {
            h.server.failNext(1, CloudFault::hanging());
        }
    }

    SyncE2eHarness &h;
    QRandomGenerator random;
    int titleCounter = 0;
    int listCounter = 0;
};

// The seeds: the ones kept for the faults they found, then consecutive ones up to 100.
QList<quint32> randomSeeds()
{
    QList<quint32> seeds {20261208u, 7u, 17u, 41u};
    for (quint32 seed = 100; seeds.size() < 100; ++seed) {
        seeds.append(seed);
    }
    return seeds;
}

void runRandomSession(quint32 seed)
{
    SCOPED_TRACE(::testing::Message() << "seed " << seed << " (rerun with QUORVIN_E2E_SEED=" << seed << ")");
    SyncE2eHarness h;
    RandomSession session(h, seed);
    session.run(200);
    h.server.clearFaults();
    ASSERT_TRUE(h.settle(60min)) << "never settled: " << h.unrest().toStdString();
    EXPECT_TRUE(converged(h));
    if (const QByteArray traced = qgetenv("QUORVIN_E2E_TRACE"); !traced.isEmpty()) {
        std::cout << h.traceOf(QString::fromUtf8(traced)).toStdString() << std::endl;
    }
}

// Ten shards of ten seeds, so that CTest runs them side by side. The sanitizer build, five times
// slower and there for lifetimes and leaks rather than for the sync's outcomes, runs the first four
// seeds of each shard (the kept ones among them): its shards were the whole suite's long pole.
#if defined(__SANITIZE_ADDRESS__)
constexpr int seedsRunPerShard = 4;
#else
constexpr int seedsRunPerShard = 10;
#endif

class RandomOperations : public ::testing::TestWithParam<int> { };

TEST_P(RandomOperations, BothSidesConverge)
{
    if (const QByteArray fixed = qgetenv("QUORVIN_E2E_SEED"); !fixed.isEmpty()) {
        if (GetParam() == 0) {
            runRandomSession(fixed.toUInt());
        }
        return;
    }
    const QList<quint32> seeds = randomSeeds();
    for (const quint32 seed : seeds.mid(GetParam() * 10, seedsRunPerShard)) {
        runRandomSession(seed);
    }
}

INSTANTIATE_TEST_SUITE_P(SyncE2e, RandomOperations, ::testing::Range(0, 10));

} // namespace
} // namespace quorvin::test
