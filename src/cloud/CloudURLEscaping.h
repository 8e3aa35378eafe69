#pragma once

#include <QString>

#include <optional>

namespace quorvin {

// Percent-escapes a value for a query: letters, digits and - . _ ~ ! $ ' ( ) * + , ; : @ / ? stay,
// every other character becomes the escaped bytes of its UTF-8 form. "&", "=" and "#" are escaped
// too, so that no value can end its item or the query. Absent for text that is not valid UTF-16.
std::optional<QString> escapeQueryValue(const QString &value);

// Percent-escapes one path segment: letters, digits and - . _ ~ ! $ & ' ( ) * + , = : @ stay.
// "/", "?" and "#" are escaped, so that no value can reach another path, and ";" too, which some
// servers read as the start of segment parameters. Absent for text that is not valid UTF-16.
std::optional<QString> escapePathSegment(const QString &value);

} // namespace quorvin
