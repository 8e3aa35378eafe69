#pragma once

#include <QString>

namespace quorvin {

// A phone number as the diagnostic log may show it: the country code, the first three and the
// last four digits around "****". A mainland number is shown with "+86" however it was typed; a
// text of fewer than 7 digits is returned trimmed, unmasked.
QString maskPhoneForLog(const QString &phoneNumber);

} // namespace quorvin
