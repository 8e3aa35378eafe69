#include "ui/QuorvinAboutSheetView.h"

#include "app/QuorvinUpdateController.h"
#include "app/Strings.h"
#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinTextStyle.h"
#include "ui/Strings.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quorvin {

namespace {

// The version line and the update check on a rounded, faintly shaded box.
class VersionBox final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 10, 10);
        painter.fillPath(shape, QuorvinMacTheme::surfaceSubtle.resolve());
    }
};

// A hairline in the border colour between the version box and the notes.
class Divider final : public QWidget {
public:
    explicit Divider(QWidget *parent)
        : QWidget(parent)
    {
        setFixedHeight(1);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QuorvinMacTheme::cardBorder.resolve());
    }
};

QuorvinLabel *paragraph(const QString &text, int pixelSize, QuorvinDynamicColor color, bool selectable, QWidget *parent)
{
    auto *label = new QuorvinLabel(text, pixelSize, QFont::Normal, color, parent);
    label->setWordWrap(true);
    if (selectable) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    return label;
}

} // namespace

QuorvinAboutSheetView::QuorvinAboutSheetView(QuorvinUpdateController &updates, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutSheet"));
    setWindowTitle(UiText::aboutTitle);
    setWindowModality(Qt::WindowModal);
    setMinimumSize(minimumWidth, minimumHeight);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);
    column->addWidget(new QuorvinLabel(
        UiText::aboutTitle, QuorvinTextStyle::title3, QFont::Bold, QuorvinMacTheme::primaryText, this));

    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->viewport()->setAutoFillBackground(false);
    auto *content = new QWidget(scroll);
    auto *sections = new QVBoxLayout(content);
    sections->setContentsMargins(0, 0, 8, 0);
    sections->setSpacing(16);

    auto *intro = new QVBoxLayout();
    intro->setSpacing(8);
    intro->addWidget(
        paragraph(UiText::aboutDescription, QuorvinTextStyle::body, QuorvinMacTheme::secondaryText, false, content));
    intro->addWidget(paragraph(
        UiText::aboutIndependence, QuorvinTextStyle::footnote, QuorvinMacTheme::secondaryText, false, content));
    auto *contact = paragraph(UiText::aboutContactPrefix + UiText::supportEmail + UiText::aboutContactSuffix,
        QuorvinTextStyle::footnote, QuorvinMacTheme::primaryText, true, content);
    contact->setObjectName(QStringLiteral("aboutContact"));
    intro->addWidget(contact);
    sections->addLayout(intro);

    auto *versionBox = new VersionBox(content);
    auto *versionRow = new QHBoxLayout(versionBox);
    versionRow->setContentsMargins(12, 12, 12, 12);
    versionRow->setSpacing(12);
    auto *version = new QuorvinLabel(versionText(QCoreApplication::applicationVersion(), updates.installedBuild()),
        QuorvinTextStyle::footnote, QFont::Medium, QuorvinMacTheme::secondaryText, versionBox);
    version->setObjectName(QStringLiteral("aboutVersion"));
    versionRow->addWidget(version);
    versionRow->addStretch(1);
    auto *check = new QPushButton(AppText::menuCheckForUpdates, versionBox);
    check->setObjectName(QStringLiteral("aboutCheckForUpdates"));
    check->setAutoDefault(false);
    // The sheet stays open while the updater shows its own windows.
    connect(check, &QPushButton::clicked, &updates, &QuorvinUpdateController::checkForUpdates);
    versionRow->addWidget(check);
    sections->addWidget(versionBox);

    sections->addWidget(new Divider(content));
    sections->addWidget(new QuorvinLabel(
        UiText::aboutGuideHeading, QuorvinTextStyle::headline, QFont::Bold, QuorvinMacTheme::primaryText, content));
    for (const QString &note : {UiText::aboutGuideSessions, UiText::aboutGuidePermission}) {
        auto *line = paragraph(note, QuorvinTextStyle::body, QuorvinMacTheme::primaryText, true, content);
        line->setObjectName(QStringLiteral("aboutGuideLine"));
        sections->addWidget(line);
    }
    sections->addStretch(1);
    scroll->setWidget(content);
    // The scroll area fills its page with the window colour; the sheet paints its own surface.
    content->setAutoFillBackground(false);
    column->addWidget(scroll, 1);

    auto *bottom = new QHBoxLayout();
    bottom->addStretch(1);
    auto *close = new QPushButton(UiText::aboutClose, this);
    close->setObjectName(QStringLiteral("aboutClose"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    bottom->addWidget(close);
    column->addLayout(bottom);
}

QString QuorvinAboutSheetView::versionText(const QString &shortVersion, const QString &build)
{
    const auto orDash = [](const QString &value) { return value.isEmpty() ? UiText::emptyValue : value; };
    return UiText::aboutVersionPrefix + orDash(shortVersion) + UiText::aboutBuildOpen + orDash(build)
        + UiText::aboutBuildClose;
}

void QuorvinAboutSheetView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QuorvinMacTheme::cardBackground.resolve());
}

} // namespace quorvin
