#pragma once

#include "ui/ActivityLogRowModel.h"

#include <QFrame>

namespace quorvin {

class QuorvinLabel;

// One entry of the recent activity: the category badge and the relative time over the summary and
// up to three details, on a bordered card. Its texts are made once, the relative time aside; the
// card replaces the row when the entry changes.
class ActivityLogRowView : public QFrame {
    Q_OBJECT
public:
    explicit ActivityLogRowView(ActivityLogRowModel model, QWidget *parent = nullptr);

    const ActivityLogRowModel &model() const { return m_model; }
    const ActivityLogLine &line() const { return m_model.line(); }
    void refreshRelativeTime(const QDateTime &now);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ActivityLogRowModel m_model;
    QuorvinLabel *m_time = nullptr;
};

} // namespace quorvin
