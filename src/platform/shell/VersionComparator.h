#pragma once

#include <QString>
#include <QStringList>

namespace quorvin {

// The update feed's standard order of version strings.
//
// A version is split into parts of one kind each: a run of digits (a number), a run of other
// characters (a string), or one separator (a period, white space or punctuation; each separator
// is a part of its own). Parts are compared in turn: numbers by value, strings by their
// characters, and across kinds a number or separator beats a string ("1.0" > "1.0b1") and a
// number beats a separator. When one version runs out first, the longer one is newer if its next
// part is a number or separator ("1.0.1" > "1.0"), older if it is a string ("1.0" > "1.0b").
class VersionComparator {
public:
    // Negative when `a` is older than `b`, zero when they are the same, positive when newer.
    static int compare(const QString &a, const QString &b);

    static QStringList parts(const QString &version);
};

} // namespace quorvin
