#pragma once

#include <QHash>
#include <QUuid>
#include <QWidget>

class QAbstractButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

namespace quorvin {

class ActivityLogRowView;
class DashboardViewModel;

// The recent-activity card: its heading with the clear button, then the entries newest first in a
// scrolling list, or a quiet note while there are none. A new entry adds one row; the rows of the
// entries that stay are kept as they are.
class ActivityLogCardView : public QWidget {
    Q_OBJECT
public:
    static constexpr int listHeight = 336;

    explicit ActivityLogCardView(DashboardViewModel &model, QWidget *parent = nullptr);

    // The rows in the order shown.
    QList<ActivityLogRowView *> rows() const;
    // How many rows were built since the card was made.
    int rowsBuilt() const { return m_rowsBuilt; }
    QAbstractButton *clearButton() const { return m_clear; }

private:
    void render();

    DashboardViewModel &m_model;
    QAbstractButton *m_clear;
    QStackedWidget *m_body;
    QScrollArea *m_scroll;
    QWidget *m_empty;
    QVBoxLayout *m_list;
    QHash<QUuid, ActivityLogRowView *> m_rows;
    int m_rowsBuilt = 0;
};

} // namespace quorvin
