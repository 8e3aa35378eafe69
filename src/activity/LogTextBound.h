#pragma once

#include <QString>

namespace quorvin {

// The longest text a log keeps, in user-perceived characters. A text from outside (an error page
// the service sent, a reminder's notes) can be of any length; a log line or an activity entry of
// that size would swell the stored settings and the diagnostics report with it.
inline constexpr qsizetype maxLogTextCharacters = 2000;

// `text` with its control characters escaped (UnicodeText::escapingControlCharacters), cut to at
// most maxLogTextCharacters characters, the last of them "…" when anything was cut. Never cuts
// inside a character.
QString boundedLogText(const QString &text);

} // namespace quorvin
