#pragma once

#include "model/JsonField.h"
#include "model/ReminderPayload.h"

#include <QList>

#include <optional>
#include <type_traits>

// Field-by-field equality of the model's records, read from the fields each record declares once
// for its JSON form, so a field added to a record is compared without anyone touching this code.
namespace quorvin::PayloadEquality {

template <class T> bool same(const T &a, const T &b);

namespace detail {

template <class T> struct IsOptional : std::false_type {
};
template <class T> struct IsOptional<std::optional<T>> : std::true_type {
};

template <class T> struct IsList : std::false_type {
};
template <class T> struct IsList<QList<T>> : std::true_type {
};

// Visits the fields of `a` and compares each with the field at the same place in `b`, an object of
// the same type.
template <class Record> struct PairVisitor {
    const Record &a;
    const Record &b;
    bool equal = true;

    template <class F> void operator()(const char *, const F &fieldOfA, WhenAbsent = WhenAbsent::Omit)
    {
        if (!equal) {
            return;
        }
        const auto offset = reinterpret_cast<const char *>(&fieldOfA) - reinterpret_cast<const char *>(&a);
        const F &fieldOfB = *reinterpret_cast<const F *>(reinterpret_cast<const char *>(&b) + offset);
        equal = same(fieldOfA, fieldOfB);
    }
};

template <class T>
concept Record = requires(const T &t, PairVisitor<T> &v)
{
    T::fields(t, v);
};

} // namespace detail

template <class T> bool same(const T &a, const T &b)
{
    if constexpr (detail::Record<T>) {
        detail::PairVisitor<T> visitor {a, b};
        T::fields(a, visitor);
        return visitor.equal;
    } else if constexpr (detail::IsOptional<T>::value) {
        if (a.has_value() != b.has_value()) {
            return false;
        }
        return !a.has_value() || same(*a, *b);
    } else if constexpr (detail::IsList<T>::value) {
        if (a.size() != b.size()) {
            return false;
        }
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (!same(a[i], b[i])) {
                return false;
            }
        }
        return true;
    } else {
        return a == b;
    }
}

} // namespace quorvin::PayloadEquality
