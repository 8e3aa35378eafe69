#include "platform/shell/FusionPalette.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace quorvin {

namespace {

QPalette lightPalette()
{
    QPalette p;
    const QColor window(0xEF, 0xEF, 0xEF);
    const QColor text(0x1F, 0x23, 0x29);
    const QColor disabledText(0x9A, 0x9E, 0xA6);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xF6, 0xF7, 0xF9));
    p.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xDC));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(0xE3, 0xE3, 0xE3));
    p.setColor(QPalette::Mid, QColor(0xB8, 0xB8, 0xB8));
    p.setColor(QPalette::Dark, QColor(0x9F, 0x9F, 0x9F));
    p.setColor(QPalette::Shadow, QColor(0x76, 0x76, 0x76));
    p.setColor(QPalette::Highlight, QColor(0x1E, 0x88, 0xE5));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x1E, 0x88, 0xE5));
    p.setColor(QPalette::LinkVisited, QColor(0x6B, 0x4F, 0xBB));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, disabledText);
    }
    return p;
}

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x1F, 0x23, 0x29);
    const QColor text(0xF2, 0xF4, 0xF7);
    const QColor disabledText(0x6E, 0x75, 0x80);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(0x1A, 0x1E, 0x24));
    p.setColor(QPalette::AlternateBase, QColor(0x25, 0x2B, 0x33));
    p.setColor(QPalette::ToolTipBase, QColor(0x25, 0x2B, 0x33));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8F, 0x96, 0xA3));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x2A, 0x2F, 0x37));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xFF, 0x69, 0x61));
    p.setColor(QPalette::Light, QColor(0x3A, 0x40, 0x49));
    p.setColor(QPalette::Midlight, QColor(0x34, 0x3A, 0x43));
    p.setColor(QPalette::Mid, QColor(0x25, 0x2B, 0x33));
    p.setColor(QPalette::Dark, QColor(0x10, 0x13, 0x17));
    p.setColor(QPalette::Shadow, QColor(0x05, 0x06, 0x08));
    p.setColor(QPalette::Highlight, QColor(0x4E, 0xA3, 0xF1));
    p.setColor(QPalette::HighlightedText, QColor(0x10, 0x13, 0x17));
    p.setColor(QPalette::Link, QColor(0x4E, 0xA3, 0xF1));
    p.setColor(QPalette::LinkVisited, QColor(0xB1, 0x9C, 0xF0));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, disabledText);
    }
    return p;
}

} // namespace

QPalette FusionPalette::palette(ColorScheme scheme)
{
    return scheme == ColorScheme::Dark ? darkPalette() : lightPalette();
}

ColorScheme FusionPalette::schemeOf(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128 ? ColorScheme::Dark : ColorScheme::Light;
}

void FusionPalette::installStyle()
{
    if (auto *style = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(style);
    }
}

} // namespace quorvin
