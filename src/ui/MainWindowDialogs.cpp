#include "ui/MainWindowDialogs.h"

#include "app/Strings.h"
#include "ui/ContentViewModel.h"
#include "ui/QuorvinAboutSheetView.h"
#include "ui/QuorvinPaletteBinding.h"
#include "ui/Strings.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace quorvin {

MainWindowDialogs::MainWindowDialogs(QuorvinMacService &service, ContentViewModel &content, LoginItem &loginItem,
    QuorvinUpdateController &updates, QWidget *window)
    : QObject(window)
    , m_content(content)
    , m_updates(updates)
    , m_window(window)
    , m_model(service, content, loginItem)
{
    connect(&m_content, &ContentViewModel::changed, this, &MainWindowDialogs::render);
    // As the window appears: a sync may have succeeded before it did.
    QTimer::singleShot(0, &m_model, &MainWindowDialogsModel::maybePromptForLaunchAtLogin);
    render();
}

QMessageBox *MainWindowDialogs::makeBox(const QString &name, const QString &title, const QString &message)
{
    auto *box = new QMessageBox(m_window);
    box->setObjectName(name);
    box->setWindowTitle(AppText::appName);
    box->setText(title);
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

void MainWindowDialogs::present(
    QPointer<QMessageBox> &slot, QMessageBox *box, std::function<void(QAbstractButton *)> answer)
{
    slot = box;
    connect(box, &QDialog::finished, this, [box, answer = std::move(answer)] { answer(box->clickedButton()); });
    box->open();
}

void MainWindowDialogs::render()
{
    const ContentViewState &state = m_content.state();
    // One that was answered may still wait for its deletion.
    const auto isOpen = [](const auto &slot) { return slot && slot->isVisible(); };
    // A dialog whose flag went down elsewhere closes without answering.
    const auto close = [](QPointer<QMessageBox> &slot) {
        if (slot && slot->isVisible()) {
            slot->disconnect();
            slot->close();
        }
    };

    if (state.showingRebuildCloudConfirmation && !isOpen(m_rebuild)) {
        auto *box = makeBox(
            QStringLiteral("rebuildCloudConfirmation"), UiText::rebuildCloudTitle, UiText::rebuildCloudMessage);
        box->setIcon(QMessageBox::Warning);
        auto *rebuild = box->addButton(UiText::rebuildCloudConfirm, QMessageBox::DestructiveRole);
        rebuild->setObjectName(QStringLiteral("rebuildCloudConfirm"));
        QuorvinPaletteBinding::markDestructive(rebuild);
        auto *cancel = box->addButton(UiText::dialogCancel, QMessageBox::RejectRole);
        cancel->setObjectName(QStringLiteral("rebuildCloudCancel"));
        box->setDefaultButton(static_cast<QPushButton *>(cancel));
        box->setEscapeButton(cancel);
        present(m_rebuild, box, [this, rebuild](QAbstractButton *clicked) {
            clicked == rebuild ? m_model.confirmCloudRebuild() : m_model.cancelCloudRebuild();
        });
    } else if (!state.showingRebuildCloudConfirmation) {
        close(m_rebuild);
    }

    if (state.showingCleanupPrecheckConfirmation && !isOpen(m_precheck)) {
        auto *box = makeBox(QStringLiteral("cleanupPrecheckConfirmation"), UiText::cleanupPrecheckTitle,
            UiText::cleanupPrecheckMessage);
        auto *start = box->addButton(UiText::cleanupPrecheckStart, QMessageBox::AcceptRole);
        start->setObjectName(QStringLiteral("cleanupPrecheckStart"));
        auto *cancel = box->addButton(UiText::dialogCancel, QMessageBox::RejectRole);
        cancel->setObjectName(QStringLiteral("cleanupPrecheckCancel"));
        box->setDefaultButton(static_cast<QPushButton *>(start));
        box->setEscapeButton(cancel);
        present(m_precheck, box, [this, start](QAbstractButton *clicked) {
            clicked == start ? m_model.startCleanupPrecheck() : m_model.cancelCleanupPrecheck();
        });
    } else if (!state.showingCleanupPrecheckConfirmation) {
        close(m_precheck);
    }

    if (state.showingCleanupResultConfirmation && !isOpen(m_result)) {
        openCleanupResult();
    } else if (!state.showingCleanupResultConfirmation) {
        close(m_result);
    }

    if (state.showingDiagnosticUploadConfirmation && !isOpen(m_upload)) {
        auto *box = makeBox(QStringLiteral("diagnosticUploadConfirmation"), UiText::diagnosticUploadTitle,
            UiText::diagnosticUploadMessage);
        auto *upload = box->addButton(UiText::diagnosticUploadConfirm, QMessageBox::AcceptRole);
        upload->setObjectName(QStringLiteral("diagnosticUploadConfirm"));
        auto *cancel = box->addButton(UiText::dialogCancel, QMessageBox::RejectRole);
        cancel->setObjectName(QStringLiteral("diagnosticUploadCancel"));
        box->setDefaultButton(static_cast<QPushButton *>(upload));
        box->setEscapeButton(cancel);
        present(m_upload, box, [this, upload](QAbstractButton *clicked) {
            clicked == upload ? m_model.confirmDiagnosticUpload() : m_model.cancelDiagnosticUpload();
        });
    } else if (!state.showingDiagnosticUploadConfirmation) {
        close(m_upload);
    }

    if (state.showingLaunchAtLoginPrompt && !isOpen(m_prompt)) {
        auto *box = makeBox(QStringLiteral("launchAtLoginPrompt"), UiText::launchAtLoginPromptTitle,
            UiText::launchAtLoginPromptMessage);
        box->setIcon(QMessageBox::Question);
        auto *enable = box->addButton(UiText::launchAtLoginPromptEnable, QMessageBox::AcceptRole);
        enable->setObjectName(QStringLiteral("launchAtLoginEnable"));
        auto *later = box->addButton(UiText::launchAtLoginPromptLater, QMessageBox::RejectRole);
        later->setObjectName(QStringLiteral("launchAtLoginLater"));
        box->setDefaultButton(static_cast<QPushButton *>(enable));
        box->setEscapeButton(later);
        present(m_prompt, box, [this, enable](QAbstractButton *clicked) {
            clicked == enable ? m_model.enableLaunchAtLoginFromPrompt() : m_model.declineLaunchAtLoginPrompt();
        });
    } else if (!state.showingLaunchAtLoginPrompt) {
        close(m_prompt);
    }

    if (state.showingLaunchAtLoginPromptError && !isOpen(m_promptError)) {
        auto *box = makeBox(QStringLiteral("launchAtLoginPromptError"), AppText::launchAtLoginFailedTitle,
            state.launchAtLoginPromptErrorMessage);
        box->setIcon(QMessageBox::Warning);
        auto *dismiss = box->addButton(AppText::launchAtLoginFailedClose, QMessageBox::RejectRole);
        dismiss->setObjectName(QStringLiteral("launchAtLoginErrorClose"));
        box->setEscapeButton(dismiss);
        present(m_promptError, box, [this](QAbstractButton *) { m_model.dismissLaunchAtLoginError(); });
    } else if (!state.showingLaunchAtLoginPromptError) {
        close(m_promptError);
    }

    if (state.showingGuide && !isOpen(m_about)) {
        auto *sheet = new QuorvinAboutSheetView(m_updates, m_window);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        connect(sheet, &QDialog::finished, &m_content,
            [this] { m_content.edit([](ContentViewState &edited) { edited.showingGuide = false; }); });
        m_about = sheet;
        sheet->open();
    } else if (!state.showingGuide && m_about && m_about->isVisible()) {
        m_about->disconnect();
        m_about->close();
    }
}

void MainWindowDialogs::openCleanupResult()
{
    auto *box = makeBox(QStringLiteral("cleanupResultConfirmation"), UiText::cleanupResultTitle,
        m_model.completedCleanupDialogMessage());
    QAbstractButton *remove = nullptr;
    if (const auto title = m_model.cleanupDeleteButtonTitle()) {
        remove = box->addButton(*title, QMessageBox::DestructiveRole);
        remove->setObjectName(QStringLiteral("cleanupDelete"));
        QuorvinPaletteBinding::markDestructive(remove);
    }
    auto *dismiss = box->addButton(m_model.cleanupDismissButtonTitle(), QMessageBox::RejectRole);
    dismiss->setObjectName(QStringLiteral("cleanupDismiss"));
    box->setDefaultButton(static_cast<QPushButton *>(dismiss));
    box->setEscapeButton(dismiss);
    present(m_result, box, [this, remove](QAbstractButton *clicked) {
        remove &&clicked == remove ? m_model.deleteCleanupCandidates() : m_model.dismissCleanupResult();
    });
}

} // namespace quorvin
