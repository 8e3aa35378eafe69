#pragma once

#include "ui/DashboardViewModel.h"

#include <QWidget>

class QAbstractButton;
class QScrollArea;

namespace quorvin {

class ActivityLogCardView;
class ContentViewModel;
class LaunchAtLoginSettingsToggle;
class QuorvinLabel;
class QuorvinMetricTile;
class QuorvinStatusMetaRow;
class QuorvinSwitch;
class QuorvinSyncActionTile;
struct QuorvinAppContext;

// The signed-in page: the sync overview card on top, and below it the operation and
// desktop-behaviour cards on the left and the recent activity on the right, in one scrolling
// page.
class DashboardView : public QWidget {
    Q_OBJECT
public:
    static constexpr int overviewHeight = 174;
    static constexpr int bodyHeight = 404;
    static constexpr int controlCardHeight = 196;

    DashboardView(const QuorvinAppContext &context, ContentViewModel &content, QWidget *parent = nullptr);

    DashboardViewModel &model() { return m_model; }
    ActivityLogCardView *activityCard() const { return m_activity; }

    // The left column's share of the body's width `width`: 40 % of what the 12 between the columns
    // leaves.
    static int leftColumnWidth(int width);

private:
    QWidget *makeOverviewCard(QWidget *parent);
    QWidget *makeControlSection(QWidget *parent, const QuorvinAppContext &context);
    QWidget *makeSyncOperationCard(QWidget *parent);
    QWidget *makeMacBehaviorCard(QWidget *parent, const QuorvinAppContext &context);
    void render();

    DashboardViewModel m_model;
    QScrollArea *m_scroll = nullptr;
    QuorvinMetricTile *m_reminderCount = nullptr;
    QuorvinMetricTile *m_localCursor = nullptr;
    QuorvinMetricTile *m_cloudCursor = nullptr;
    QuorvinStatusMetaRow *m_cloudAddress = nullptr;
    QuorvinStatusMetaRow *m_syncResult = nullptr;
    QuorvinSyncActionTile *m_cleanup = nullptr;
    QuorvinSwitch *m_dockIcon = nullptr;
    QuorvinSwitch *m_menuBarIcon = nullptr;
    QuorvinSwitch *m_shortcut = nullptr;
    QuorvinLabel *m_shortcutHint = nullptr;
    ActivityLogCardView *m_activity = nullptr;
};

} // namespace quorvin
