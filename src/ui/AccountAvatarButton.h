#pragma once

#include <QAbstractButton>
#include <QPointer>

namespace quorvin {

class AccountAvatarImageLoader;

// The account's picture in a circle, as a button: the loaded avatar when there is one, else a
// fallback. The toolbar's small button shows a person symbol while the picture loads or when it
// fails and the initial only without an address; the sheet's large one shows the initial in every
// such case and carries a badge (a camera, or turning arrows while a change is being saved).
class AccountAvatarButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Look { Toolbar, Sheet };

    AccountAvatarButton(Look look, QWidget *parent = nullptr);

    void setLoader(AccountAvatarImageLoader *loader);
    void setInitial(const QString &initial);
    const QString &initial() const { return m_initial; }
    void setSaving(bool saving);
    // What the circle shows now: "image", "initial" or "placeholder".
    QString shownContent() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Look m_look;
    QPointer<AccountAvatarImageLoader> m_loader;
    QString m_initial;
    bool m_saving = false;
};

} // namespace quorvin
