#include "platform/defaults/InMemoryUserDefaults.h"

namespace quorvin {

InMemoryUserDefaults::InMemoryUserDefaults(const QJsonObject &initial, QObject *parent)
    : UserDefaults(parent)
{
    replaceAll(initial);
}

} // namespace quorvin
