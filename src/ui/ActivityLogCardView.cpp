#include "ui/ActivityLogCardView.h"

#include "platform/concurrency/Clock.h"
#include "platform/concurrency/Spawn.h"
#include "ui/ActivityLogRowView.h"
#include "ui/DashboardViewModel.h"
#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinPillButtonStyle.h"
#include "ui/QuorvinShapes.h"
#include "ui/QuorvinSymbol.h"
#include "ui/QuorvinSymbolView.h"
#include "ui/Strings.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>

namespace quorvin {

namespace {

// "清除" with the trash symbol, in the pill look on a clear fill.
class ClearButton final : public QAbstractButton {
public:
    explicit ClearButton(QWidget *parent)
        : QAbstractButton(parent)
        , m_style {QuorvinDynamicColor::quorvinDynamic(0, 0, 0.0), QuorvinMacTheme::systemGray,
              QuorvinMacTheme::cardBorder, 64, 30}
    {
        setText(UiText::activityClear);
        setAccessibleName(UiText::activityClear);
        setCursor(Qt::PointingHandCursor);
        QFont label = font();
        label.setPixelSize(QuorvinPillButtonStyle::fontPixelSize);
        label.setWeight(QFont::Medium);
        setFont(label);
        const int content
            = symbolSize + spacing + static_cast<int>(std::ceil(QFontMetricsF(label).horizontalAdvance(text())));
        setFixedSize(
            std::max(m_style.minWidth, content) + 2 * QuorvinPillButtonStyle::horizontalPadding, m_style.height);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setOpacity(QuorvinPillButtonStyle::opacity(isEnabled(), isDown()));
        QuorvinShapes::paintRoundedPanel(
            painter, QRectF(rect()), QuorvinPillButtonStyle::radius, m_style.fill.resolve(), m_style.border.resolve());
        const QColor ink = m_style.foreground.resolve();
        const qreal textWidth = QFontMetricsF(font()).horizontalAdvance(text());
        const qreal left = (width() - (symbolSize + spacing + textWidth)) / 2.0;
        QuorvinSymbols::paint(painter, QuorvinSymbol::Trash,
            QRectF(left, (height() - symbolSize) / 2.0, symbolSize, symbolSize), ink, 1.1);
        painter.setPen(ink);
        painter.drawText(QRectF(left + symbolSize + spacing, 0, textWidth + 1, height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }

private:
    static constexpr int symbolSize = 13;
    static constexpr int spacing = 4;
    QuorvinPillButtonStyle m_style;
};

} // namespace

ActivityLogCardView::ActivityLogCardView(DashboardViewModel &model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    setObjectName(QStringLiteral("activityLogCard"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto *header = new QHBoxLayout();
    header->setSpacing(8);
    header->addWidget(new QuorvinLabel(UiText::activityTitle, 17, QFont::Bold, QuorvinMacTheme::primaryText, this));
    header->addStretch(1);
    m_clear = new ClearButton(this);
    m_clear->setObjectName(QStringLiteral("activityClear"));
    connect(m_clear, &QAbstractButton::clicked, &m_model, &DashboardViewModel::clearActivityLogs);
    header->addWidget(m_clear);
    column->addLayout(header);

    m_body = new QStackedWidget(this);
    m_body->setFixedHeight(listHeight);

    m_scroll = new QScrollArea(m_body);
    m_scroll->setObjectName(QStringLiteral("activityList"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->viewport()->setAutoFillBackground(false);
    auto *content = new QWidget(m_scroll);
    m_list = new QVBoxLayout(content);
    m_list->setContentsMargins(0, 2, 4, 2);
    m_list->setSpacing(8);
    m_list->addStretch(1);
    m_scroll->setWidget(content);
    // The scroll area would fill its page with the window colour; the card shows through.
    content->setAutoFillBackground(false);
    m_body->addWidget(m_scroll);

    m_empty = new QWidget(m_body);
    m_empty->setObjectName(QStringLiteral("activityEmpty"));
    auto *empty = new QVBoxLayout(m_empty);
    empty->setSpacing(8);
    empty->addStretch(1);
    empty->addWidget(
        new QuorvinSymbolView(QuorvinSymbol::ClockCheckmark, 26, QuorvinMacTheme::systemGray, 1.3, m_empty), 0,
        Qt::AlignHCenter);
    empty->addWidget(
        new QuorvinLabel(UiText::activityEmpty, 14, QFont::DemiBold, QuorvinMacTheme::primaryText, m_empty), 0,
        Qt::AlignHCenter);
    empty->addStretch(1);
    m_body->addWidget(m_empty);
    column->addWidget(m_body);
    column->addStretch(1);

    connect(&m_model, &DashboardViewModel::activityLogsChanged, this, &ActivityLogCardView::render);
    render();
}

ActivityLogCardView::~ActivityLogCardView()
{
    if (m_minuteRefresh) {
        m_minuteRefresh->cancel();
    }
}

void ActivityLogCardView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshRelativeTimes();
    if (!m_minuteRefresh) {
        m_minuteRefresh = std::make_unique<CancelSource>();
        spawn(refreshEveryMinute(this, &m_model.clock(), m_minuteRefresh->token()),
            QStringLiteral("activity relative times"));
    }
}

void ActivityLogCardView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_minuteRefresh) {
        m_minuteRefresh->cancel();
        m_minuteRefresh.reset();
    }
}

QCoro::Task<void> ActivityLogCardView::refreshEveryMinute(
    QPointer<ActivityLogCardView> self, Clock *clock, CancelToken stop)
{
    try {
        while (true) {
            co_await clock->sleep(std::chrono::minutes(1), stop);
            if (!self) {
                co_return;
            }
            self->refreshRelativeTimes();
        }
    } catch (const CancelledError &) {
    }
}

void ActivityLogCardView::refreshRelativeTimes()
{
    const QDateTime now = m_model.now();
    for (ActivityLogRowView *row : std::as_const(m_rows)) {
        row->refreshRelativeTime(now);
    }
}

QList<ActivityLogRowView *> ActivityLogCardView::rows() const
{
    QList<ActivityLogRowView *> shown;
    for (int index = 0; index < m_list->count(); ++index) {
        if (auto *row = qobject_cast<ActivityLogRowView *>(m_list->itemAt(index)->widget())) {
            shown.append(row);
        }
    }
    return shown;
}

void ActivityLogCardView::render()
{
    const QList<ActivityLogLine> lines = m_model.activityLogs();
    const QDateTime now = m_model.now();
    QHash<QUuid, ActivityLogRowView *> kept;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const ActivityLogLine &line = lines[index];
        ActivityLogRowView *row = m_rows.take(line.id);
        // A row whose entry is unchanged is left alone, its relative time included.
        if (row && !(row->line() == line)) {
            m_list->removeWidget(row);
            delete row;
            row = nullptr;
        }
        if (!row) {
            row = new ActivityLogRowView(ActivityLogRowModel(line, now), m_scroll->widget());
            ++m_rowsBuilt;
        }
        if (m_list->indexOf(row) != index) {
            m_list->removeWidget(row);
            m_list->insertWidget(static_cast<int>(index), row);
        }
        kept.insert(line.id, row);
    }
    for (ActivityLogRowView *gone : std::as_const(m_rows)) {
        m_list->removeWidget(gone);
        delete gone;
    }
    m_rows = std::move(kept);

    const bool empty = lines.isEmpty();
    m_clear->setVisible(!empty);
    m_body->setCurrentWidget(empty ? m_empty : static_cast<QWidget *>(m_scroll));
}

} // namespace quorvin
