#pragma once
// The look of a classic dialog on Qt: group-box titles that sit on the
// frame line.

#include <QProxyStyle>

namespace tobrik::app {

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
