#pragma once

#include <QByteArray>

namespace quorvin {

// Qt's JSON parser drops a U+FEFF that opens a string, taking it for a byte-order mark, though
// inside a document it is text. This returns the document with every such character after the
// first byte written as the escape "\ufeff", which the parser keeps; a mark that opens the
// document stays what it is. The text read is the same, except that the character survives.
QByteArray escapeInnerByteOrderMarks(const QByteArray &json);

} // namespace quorvin
