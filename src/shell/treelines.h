// The folder tree's branches drawn as dotted lines with plus and minus buttons, whatever the
// application style: the style of the rest of the window draws only arrows.
#pragma once

#include <QProxyStyle>
#include <memory>

namespace dov {

class CTreeLinesStyle : public QProxyStyle {
    Q_OBJECT
  public:
    // Everything but the branches as the application's style draws it.
    CTreeLinesStyle();
    ~CTreeLinesStyle() override;

    void drawPrimitive(PrimitiveElement pe, const QStyleOption* opt, QPainter* p,
                       const QWidget* w = nullptr) const override;

  private:
    std::unique_ptr<QStyle> lines_;  // the style that draws the branch lines
};

// Gives a tree view the lined branches (the style object belongs to the view).
void UseTreeLines(QWidget* tree);

}  // namespace dov
