#pragma once

#include <QString>
#include <QUuid>

namespace quorvin {

// One line of the in-memory diagnostic log: "[" + ISO time + "] " + message.
struct LogLine {
    QUuid id;
    QString text;

    friend bool operator==(const LogLine &a, const LogLine &b) { return a.id == b.id && a.text == b.text; }
};

} // namespace quorvin
