#pragma once

#include "ui/QuorvinSymbol.h"

#include <QWidget>

namespace quorvin {

class QuorvinLabel;

// One status line of the sync overview: a grey symbol beside a caption and its value.
class QuorvinStatusMetaRow : public QWidget {
    Q_OBJECT
public:
    QuorvinStatusMetaRow(const QString &title, QuorvinSymbol symbol, QWidget *parent = nullptr);

    void setValue(const QString &value);
    QString value() const;

private:
    QuorvinLabel *m_value;
};

} // namespace quorvin
