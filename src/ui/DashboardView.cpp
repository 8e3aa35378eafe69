#include "ui/DashboardView.h"

#include "app/QuorvinAppContext.h"
#include "app/QuorvinQuitController.h"
#include "ui/ActivityLogCardView.h"
#include "ui/LaunchAtLoginSettingsToggle.h"
#include "ui/QuorvinAppIconView.h"
#include "ui/QuorvinBehaviorTile.h"
#include "ui/QuorvinBehaviorToggle.h"
#include "ui/QuorvinCardSectionHeader.h"
#include "ui/QuorvinControlPanelCard.h"
#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacCard.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinMetricTile.h"
#include "ui/QuorvinStatusMetaRow.h"
#include "ui/QuorvinSwitch.h"
#include "ui/QuorvinSyncActionTile.h"
#include "ui/QuorvinTextStyle.h"
#include "ui/Strings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvin {

namespace {

constexpr int columnSpacing = 12;
constexpr int metricSpacing = 8;

const QuorvinDynamicColor white = QuorvinDynamicColor::quorvinDynamic(0xFFFFFF, 0xFFFFFF);

// The metric tiles side by side when all of them fit on one line each, else two to a row.
class MetricsArrangement final : public QWidget {
public:
    MetricsArrangement(const QList<QuorvinMetricTile *> &tiles, QWidget *parent)
        : QWidget(parent)
        , m_tiles(tiles)
    {
        for (auto *tile : tiles) {
            tile->setParent(this);
        }
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    // Called when a value changed: it may no longer fit in one row.
    void refit()
    {
        arrange();
        updateGeometry();
    }

    QSize sizeHint() const override
    {
        const int rows = inOneRow(width()) ? 1 : (static_cast<int>(m_tiles.size()) + 1) / 2;
        return QSize(oneRowWidth(), rows * QuorvinMetricTile::minimumHeight + (rows - 1) * metricSpacing);
    }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        const bool row = inOneRow(width());
        if (row != m_shownInOneRow) {
            m_shownInOneRow = row;
            updateGeometry();
        }
        arrange();
    }

private:
    int oneRowWidth() const
    {
        int total = metricSpacing * (static_cast<int>(m_tiles.size()) - 1);
        for (auto *tile : m_tiles) {
            total += tile->idealWidth();
        }
        return total;
    }
    bool inOneRow(int width) const { return oneRowWidth() <= width; }

    void arrange()
    {
        const int height = QuorvinMetricTile::minimumHeight;
        if (inOneRow(width())) {
            // Equal shares of the row, as flexible tiles take.
            const int count = static_cast<int>(m_tiles.size());
            const int share = (width() - metricSpacing * (count - 1)) / count;
            for (int index = 0; index < count; ++index) {
                const int x = index * (share + metricSpacing);
                const int w = index == count - 1 ? width() - x : share;
                m_tiles[index]->setGeometry(x, 0, w, height);
            }
            return;
        }
        const int share = (width() - metricSpacing) / 2;
        for (int index = 0; index < m_tiles.size(); ++index) {
            const int column = index % 2;
            const int row = index / 2;
            m_tiles[index]->setGeometry(column * (share + metricSpacing), row * (height + metricSpacing),
                column == 0 ? share : width() - share - metricSpacing, height);
        }
    }

    QList<QuorvinMetricTile *> m_tiles;
    bool m_shownInOneRow = true;
};

// The two columns of the body: the control cards take 40 % of the width, the activity the rest.
class BodySection final : public QWidget {
public:
    BodySection(QWidget *left, QWidget *right, QWidget *parent)
        : QWidget(parent)
        , m_left(left)
        , m_right(right)
    {
        left->setParent(this);
        right->setParent(this);
        setFixedHeight(DashboardView::bodyHeight);
        setObjectName(QStringLiteral("dashboardBody"));
    }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        const int left = DashboardView::leftColumnWidth(width());
        m_left->setGeometry(0, 0, left, DashboardView::bodyHeight);
        m_right->setGeometry(
            left + columnSpacing, 0, std::max(width() - left - columnSpacing, 0), DashboardView::bodyHeight);
    }

private:
    QWidget *m_left;
    QWidget *m_right;
};

// The shortcut switch, with the hint in the tile's lower left corner while the shortcut is on.
class ShortcutTile final : public QuorvinBehaviorTile {
public:
    ShortcutTile(QWidget *content, QuorvinLabel *hint, QWidget *parent)
        : QuorvinBehaviorTile(content, parent)
        , m_hint(hint)
    {
        hint->setParent(this);
        hint->raise();
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QuorvinBehaviorTile::resizeEvent(event);
        const QSize hint = m_hint->sizeHint();
        m_hint->setGeometry(8, height() - 4 - hint.height(), std::min(hint.width(), width() - 8), hint.height());
    }

private:
    QuorvinLabel *m_hint;
};

QGridLayout *tileGrid()
{
    auto *grid = new QGridLayout();
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return grid;
}

} // namespace

DashboardView::DashboardView(const QuorvinAppContext &context, ContentViewModel &content, QWidget *parent)
    : QWidget(parent)
    , m_model(context, content)
{
    setObjectName(QStringLiteral("dashboard"));
    m_model.setConfirmQuit([this] { return QuorvinQuitController::confirmQuit(window()); });

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("dashboardScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The main view paints the page background behind the page.
    m_scroll->viewport()->setAutoFillBackground(false);
    outer->addWidget(m_scroll);

    auto *page = new QWidget(m_scroll);
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(12);
    column->addWidget(makeOverviewCard(page));
    auto *activityCard = new QuorvinMacCard(14, 18);
    activityCard->setObjectName(QStringLiteral("activityColumn"));
    auto *activityColumn = new QVBoxLayout(activityCard);
    activityColumn->setContentsMargins(0, 0, 0, 0);
    activityColumn->setSpacing(10);
    m_activity = new ActivityLogCardView(m_model, activityCard);
    activityColumn->addWidget(m_activity);
    column->addWidget(new BodySection(makeControlSection(page, context), activityCard, page));
    column->addStretch(1);
    m_scroll->setWidget(page);
    // The scroll area would fill its page with the window colour; the main view paints the page.
    page->setAutoFillBackground(false);

    connect(&m_model, &DashboardViewModel::changed, this, &DashboardView::render);
    render();
}

int DashboardView::leftColumnWidth(int width)
{
    return static_cast<int>(std::max(width - columnSpacing, 0) * 0.4);
}

QWidget *DashboardView::makeOverviewCard(QWidget *parent)
{
    auto *card = new QuorvinMacCard(14, 18, parent);
    card->setObjectName(QStringLiteral("statusCard"));
    card->setFixedHeight(overviewHeight);
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    auto *header = new QHBoxLayout();
    header->setSpacing(10);
    header->addWidget(new QuorvinAppIconView(34, 8, card));
    header->addWidget(new QuorvinLabel(UiText::syncCenterTitle, 18, QFont::Bold, QuorvinMacTheme::primaryText, card));
    header->addStretch(1);
    column->addLayout(header);

    m_reminderCount = new QuorvinMetricTile(UiText::metricReminders, QuorvinSymbol::Checklist);
    m_reminderCount->setObjectName(QStringLiteral("reminderCountMetric"));
    m_localCursor = new QuorvinMetricTile(UiText::metricLocalCursor, QuorvinSymbol::ConnectedPoints);
    m_localCursor->setObjectName(QStringLiteral("localCursorMetric"));
    m_cloudCursor = new QuorvinMetricTile(UiText::metricCloudCursor, QuorvinSymbol::Cloud);
    m_cloudCursor->setObjectName(QStringLiteral("cloudCursorMetric"));
    auto *metrics = new MetricsArrangement({m_reminderCount, m_localCursor, m_cloudCursor}, card);
    metrics->setObjectName(QStringLiteral("statusMetrics"));
    column->addWidget(metrics);

    auto *rows = new QHBoxLayout();
    rows->setSpacing(10);
    m_cloudAddress = new QuorvinStatusMetaRow(UiText::statusCloudAddress, QuorvinSymbol::Network, card);
    m_cloudAddress->setObjectName(QStringLiteral("cloudAddressRow"));
    m_syncResult = new QuorvinStatusMetaRow(UiText::statusSyncResult, QuorvinSymbol::CheckmarkSeal, card);
    m_syncResult->setObjectName(QStringLiteral("syncResultRow"));
    rows->addWidget(m_cloudAddress, 1, Qt::AlignTop);
    rows->addWidget(m_syncResult, 1, Qt::AlignTop);
    column->addLayout(rows);
    column->addStretch(1);
    return card;
}

QWidget *DashboardView::makeControlSection(QWidget *parent, const QuorvinAppContext &context)
{
    auto *section = new QWidget(parent);
    section->setObjectName(QStringLiteral("controlSection"));
    auto *column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(makeSyncOperationCard(section));
    column->addWidget(makeMacBehaviorCard(section, context));
    column->addStretch(1);
    return section;
}

QWidget *DashboardView::makeSyncOperationCard(QWidget *parent)
{
    auto *card = new QuorvinControlPanelCard(controlCardHeight, parent);
    card->setObjectName(QStringLiteral("syncOperationCard"));
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(
        new QuorvinCardSectionHeader(UiText::syncOperationsTitle, QString(), QuorvinSymbol::CirclingArrows, card));

    auto *refresh = new QuorvinSyncActionTile(
        UiText::manualRefreshTile, QuorvinSymbol::ArrowClockwise, QuorvinMacTheme::accentBlue, white, card);
    refresh->setObjectName(QStringLiteral("manualRefreshTile"));
    connect(refresh, &QAbstractButton::clicked, &m_model, &DashboardViewModel::manualRefresh);
    auto *rebuild = new QuorvinSyncActionTile(UiText::rebuildCloudTile, QuorvinSymbol::CloudArrowUp,
        QuorvinMacTheme::softBlue, QuorvinMacTheme::accentBlue, card);
    rebuild->setObjectName(QStringLiteral("rebuildCloudTile"));
    connect(rebuild, &QAbstractButton::clicked, &m_model, &DashboardViewModel::requestCloudRebuild);
    m_cleanup = new QuorvinSyncActionTile(UiText::cleanupTile, QuorvinSymbol::ChecklistChecked,
        QuorvinMacTheme::surfaceSubtle, QuorvinMacTheme::primaryText, card);
    m_cleanup->setObjectName(QStringLiteral("completedCleanupTile"));
    connect(m_cleanup, &QAbstractButton::clicked, &m_model, &DashboardViewModel::requestCompletedCleanup);
    auto *quit
        = new QuorvinSyncActionTile(UiText::quitTile, QuorvinSymbol::Power, QuorvinMacTheme::danger, white, card);
    quit->setObjectName(QStringLiteral("quitTile"));
    connect(quit, &QAbstractButton::clicked, &m_model, &DashboardViewModel::quit);

    auto *grid = tileGrid();
    grid->addWidget(refresh, 0, 0);
    grid->addWidget(rebuild, 0, 1);
    grid->addWidget(m_cleanup, 1, 0);
    grid->addWidget(quit, 1, 1);
    column->addLayout(grid);
    column->addStretch(1);
    return card;
}

QWidget *DashboardView::makeMacBehaviorCard(QWidget *parent, const QuorvinAppContext &context)
{
    auto *card = new QuorvinControlPanelCard(controlCardHeight, parent);
    card->setObjectName(QStringLiteral("macBehaviorCard"));
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(
        new QuorvinCardSectionHeader(UiText::macBehaviorTitle, QString(), QuorvinSymbol::DesktopComputer, card));

    auto *dock = new QuorvinBehaviorToggle(
        UiText::dockIconSwitch, QuorvinSymbol::DockRectangle, 13, QuorvinMacTheme::accentBlue, card);
    m_dockIcon = dock->toggle();
    m_dockIcon->setObjectName(QStringLiteral("dockIconSwitch"));
    connect(m_dockIcon, &QAbstractButton::clicked, &m_model, &DashboardViewModel::setShowDockIcon);
    auto *menuBar = new QuorvinBehaviorToggle(
        UiText::menuBarIconSwitch, QuorvinSymbol::MenuBarRectangle, 13, QuorvinMacTheme::accentBlue, card);
    m_menuBarIcon = menuBar->toggle();
    m_menuBarIcon->setObjectName(QStringLiteral("menuBarIconSwitch"));
    connect(m_menuBarIcon, &QAbstractButton::clicked, &m_model, &DashboardViewModel::setShowMenuBarIcon);
    auto *launchAtLogin = new LaunchAtLoginSettingsToggle(context.loginItem, context.defaults, card);
    auto *shortcut = new QuorvinBehaviorToggle(
        UiText::shortcutSwitch, QuorvinSymbol::Keyboard, 13, QuorvinMacTheme::accentBlue, card);
    m_shortcut = shortcut->toggle();
    m_shortcut->setObjectName(QStringLiteral("shortcutSwitch"));
    connect(m_shortcut, &QAbstractButton::clicked, &m_model, &DashboardViewModel::setMainWindowShortcutEnabled);
    m_shortcutHint = new QuorvinLabel(
        UiText::shortcutHint, QuorvinTextStyle::caption2, QFont::Medium, QuorvinMacTheme::secondaryText, card);
    m_shortcutHint->setObjectName(QStringLiteral("shortcutHint"));

    auto *grid = tileGrid();
    grid->addWidget(new QuorvinBehaviorTile(dock, card), 0, 0);
    grid->addWidget(new QuorvinBehaviorTile(menuBar, card), 0, 1);
    grid->addWidget(new QuorvinBehaviorTile(launchAtLogin, card), 1, 0);
    grid->addWidget(new ShortcutTile(shortcut, m_shortcutHint, card), 1, 1);
    column->addLayout(grid);
    column->addStretch(1);
    return card;
}

void DashboardView::render()
{
    const bool reminderCountChanged = m_reminderCount->setValue(m_model.reminderCountText());
    const bool localCursorChanged = m_localCursor->setValue(m_model.localCursorText());
    const bool cloudCursorChanged = m_cloudCursor->setValue(m_model.cloudCursorText());
    if (reminderCountChanged || localCursorChanged || cloudCursorChanged) {
        static_cast<MetricsArrangement *>(m_reminderCount->parentWidget())->refit();
    }
    m_cloudAddress->setValue(m_model.cloudBaseURLText());
    m_syncResult->setValue(m_model.syncResultText());

    const QString cleanupTitle = m_model.cleanupTileTitle();
    if (m_cleanup->text() != cleanupTitle) {
        m_cleanup->setText(cleanupTitle);
        m_cleanup->setAccessibleName(cleanupTitle);
    }
    m_cleanup->setEnabled(m_model.isCleanupTileEnabled());

    m_dockIcon->setChecked(m_model.showDockIcon());
    m_menuBarIcon->setChecked(m_model.showMenuBarIcon());
    m_shortcut->setChecked(m_model.mainWindowShortcutEnabled());
    m_shortcutHint->setVisible(m_model.showsShortcutHint());
}

} // namespace quorvin
