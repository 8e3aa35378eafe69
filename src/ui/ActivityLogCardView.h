#pragma once

#include "platform/concurrency/CancelToken.h"

#include <QHash>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <qcoro/qcorotask.h>

#include <memory>

class QAbstractButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

namespace quorvin {

class ActivityLogRowView;
class Clock;
class DashboardViewModel;

// The recent-activity card: its heading with the clear button, then the entries newest first in a
// scrolling list, or a quiet note while there are none. A new entry adds one row; the rows of the
// entries that stay are kept as they are. While the card shows, the rows' relative times are
// brought up to date once a minute.
class ActivityLogCardView : public QWidget {
    Q_OBJECT
public:
    static constexpr int listHeight = 336;

    explicit ActivityLogCardView(DashboardViewModel &model, QWidget *parent = nullptr);
    ~ActivityLogCardView() override;

    // The rows in the order shown.
    QList<ActivityLogRowView *> rows() const;
    // How many rows were built since the card was made.
    int rowsBuilt() const { return m_rowsBuilt; }
    QAbstractButton *clearButton() const { return m_clear; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void render();
    void refreshRelativeTimes();
    static QCoro::Task<void> refreshEveryMinute(QPointer<ActivityLogCardView> self, Clock *clock, CancelToken stop);

    DashboardViewModel &m_model;
    QAbstractButton *m_clear;
    QStackedWidget *m_body;
    QScrollArea *m_scroll;
    QWidget *m_empty;
    QVBoxLayout *m_list;
    QHash<QUuid, ActivityLogRowView *> m_rows;
    int m_rowsBuilt = 0;
    std::unique_ptr<CancelSource> m_minuteRefresh;
};

} // namespace quorvin
