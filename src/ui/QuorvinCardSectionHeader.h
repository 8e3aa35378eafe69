#pragma once

#include "ui/QuorvinSymbol.h"

#include <QWidget>

namespace quorvin {

// A control card's heading: its symbol on a soft blue disc beside the title and, when there is
// one, a subtitle.
class QuorvinCardSectionHeader : public QWidget {
    Q_OBJECT
public:
    QuorvinCardSectionHeader(
        const QString &title, const QString &subtitle, QuorvinSymbol symbol, QWidget *parent = nullptr);
};

} // namespace quorvin
