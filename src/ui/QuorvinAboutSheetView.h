#pragma once

#include <QDialog>

namespace quorvin {

class QuorvinUpdateController;

// The sheet behind "关于 Quorvin": what the product is, the installed version with the update
// check, and two notes on how syncing is set up.
class QuorvinAboutSheetView : public QDialog {
    Q_OBJECT
public:
    static constexpr int minimumWidth = 620;
    static constexpr int minimumHeight = 470;

    QuorvinAboutSheetView(QuorvinUpdateController &updates, QWidget *parent = nullptr);

    // "版本 1.2（34）"; a missing version or build shows as "-".
    static QString versionText(const QString &shortVersion, const QString &build);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace quorvin
