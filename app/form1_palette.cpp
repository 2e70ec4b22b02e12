// The window's pinned light palette.
#include "app/form1_palette.h"

#include <QColor>

namespace {

// The system colours of the Windows desktop the window was designed on.
const QColor kButtonFace(240, 240, 240);
const QColor kWindowBack(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kHighlightEdge(255, 255, 255);
const QColor kLightEdge(227, 227, 227);
const QColor kMidEdge(200, 200, 200);
const QColor kShadowEdge(160, 160, 160);
const QColor kDarkShadowEdge(105, 105, 105);
const QColor kSelection(0, 120, 215);
const QColor kGreyText(109, 109, 109);
const QColor kTooltipBack(255, 255, 225);
const QColor kLink(0, 102, 204);

} // namespace

QPalette form1Palette()
{
    QPalette palette(kBlack, kButtonFace, kHighlightEdge, kShadowEdge, kMidEdge, kBlack,
                     kHighlightEdge, kWindowBack, kButtonFace);
    palette.setColor(QPalette::Midlight, kLightEdge);
    palette.setColor(QPalette::Shadow, kDarkShadowEdge);
    palette.setColor(QPalette::ButtonText, kBlack);
    palette.setColor(QPalette::AlternateBase, kButtonFace);
    palette.setColor(QPalette::Highlight, kSelection);
    palette.setColor(QPalette::HighlightedText, kWindowBack);
    palette.setColor(QPalette::ToolTipBase, kTooltipBack);
    palette.setColor(QPalette::ToolTipText, kBlack);
    palette.setColor(QPalette::PlaceholderText, kGreyText);
    palette.setColor(QPalette::Link, kLink);
    palette.setColor(QPalette::LinkVisited, kSelection.darker(150));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, kGreyText);
    palette.setColor(QPalette::Disabled, QPalette::Base, kButtonFace);
    return palette;
}
