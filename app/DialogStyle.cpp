// The classic dialog look: the group-box title on the frame line.

#include "DialogStyle.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <qdrawutil.h>

namespace tobrik::app {

namespace {

// Distance of the title from the frame's left edge, and the gap left in the
// frame line on either side of it.
constexpr int kTitleIndent = 6;
constexpr int kTitleGap = 2;

// The etched frame: a dark and a light line, 1 px each.
constexpr int kEtchedFrameWidth = 2;

} // namespace

DialogStyle::DialogStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

QRect DialogStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                  SubControl subControl, const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || !box || (box->subControls & SC_GroupBoxCheckBox))
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    const int textHeight = box->fontMetrics.height();
    const QRect& all = box->rect;
    switch (subControl) {
    case SC_GroupBoxLabel: {
        const int width =
            qMin(box->fontMetrics.horizontalAdvance(box->text), all.width() - 2 * kTitleIndent);
        return QRect(all.left() + kTitleIndent, all.top(), width, textHeight);
    }
    case SC_GroupBoxFrame:
        return all.adjusted(0, box->text.isEmpty() ? 0 : textHeight / 2, 0, 0);
    case SC_GroupBoxContents:
        // Below the title, with one pixel clear of it.
        return all.adjusted(kEtchedFrameWidth, textHeight + 1, -kEtchedFrameWidth,
                            -kEtchedFrameWidth);
    default:
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
}

void DialogStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     QPainter* painter, const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || !box || (box->subControls & SC_GroupBoxCheckBox)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const QRect label = subControlRect(CC_GroupBox, option, SC_GroupBoxLabel, widget);
    const QRect frame = subControlRect(CC_GroupBox, option, SC_GroupBoxFrame, widget);
    painter->save();
    if (box->subControls & SC_GroupBoxFrame) {
        // The etched frame of a classic dialog, broken where the title sits.
        QRegion region(box->rect);
        if (!box->text.isEmpty())
            region -= label.adjusted(-kTitleGap, 0, kTitleGap, 0);
        painter->setClipRegion(region);
        qDrawShadeRect(painter, frame, box->palette, true, 1, 0);
        painter->setClipping(false);
    }
    if ((box->subControls & SC_GroupBoxLabel) && !box->text.isEmpty())
        drawItemText(painter, label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextHideMnemonic,
                     box->palette, box->state & State_Enabled, box->text, QPalette::WindowText);
    painter->restore();
}

} // namespace tobrik::app
