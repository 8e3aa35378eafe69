#pragma once

#include "ui/QuorvinSymbol.h"

#include <QWidget>

namespace quorvin {

class QuorvinLabel;

// One metric of the sync overview: a symbol and a title over a value of at most two lines, on the
// subtle surface.
class QuorvinMetricTile : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumHeight = 52;

    QuorvinMetricTile(const QString &title, QuorvinSymbol symbol, QWidget *parent = nullptr);

    // True when the value changed.
    bool setValue(const QString &value);
    QString value() const;
    // The width that shows title and value each on one line.
    int idealWidth() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QuorvinLabel *m_title;
    QuorvinLabel *m_value;
};

} // namespace quorvin
