#pragma once
// The look of a classic dialog on Qt: a proportional Japanese dialog font
// and group-box titles that sit on the frame line.

#include <QFont>
#include <QProxyStyle>

namespace tobrik::app {

// The dialog font the window's fixed geometry is laid out for: a
// proportional Japanese face at 9 pt, whose proportional kana let every
// caption fit its label; on Windows the UI faces of a Japanese Windows.
QFont DialogFont();

// Fusion, except that a group box draws its title on the top line of an
// etched frame instead of above it.
class DialogStyle : public QProxyStyle {
  public:
    DialogStyle();

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
};

} // namespace tobrik::app
