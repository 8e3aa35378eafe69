#pragma once

#include <QWidget>

class QLineEdit;

namespace quorvin {

// A borderless text field on a thin line, as the login form draws its inputs: text 15 in the
// primary text colour, 40 high, with an optional control at its end (the code request).
class QuorvinUnderlinedField : public QWidget {
    Q_OBJECT
public:
    explicit QuorvinUnderlinedField(const QString &placeholder, QWidget *trailing = nullptr, QWidget *parent = nullptr);

    QLineEdit *lineEdit() const { return m_edit; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyTheme();

    QLineEdit *m_edit;
};

} // namespace quorvin
