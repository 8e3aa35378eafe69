#include "app/QuorvinQuitController.h"

#include "app/Strings.h"

#include <QMessageBox>
#include <QPushButton>

namespace quorvin {

bool QuorvinQuitController::confirmQuit(QWidget *parent)
{
    QMessageBox alert(parent);
    alert.setObjectName(QStringLiteral("quorvinQuitConfirmation"));
    alert.setIcon(QMessageBox::Warning);
    alert.setWindowModality(Qt::ApplicationModal);
    alert.setText(AppText::quitMessage);
    alert.setInformativeText(AppText::quitInformative);
    auto *quit = alert.addButton(AppText::quitConfirm, QMessageBox::AcceptRole);
    auto *cancel = alert.addButton(AppText::quitCancel, QMessageBox::RejectRole);
    quit->setObjectName(QStringLiteral("quitConfirm"));
    cancel->setObjectName(QStringLiteral("quitCancel"));
    alert.setDefaultButton(quit);
    alert.setEscapeButton(cancel);
    alert.exec();
    return alert.clickedButton() == quit;
}

} // namespace quorvin
