#include "shell/treelines.h"

#include <QApplication>
#include <QStyleFactory>
#include <QWidget>

namespace dov {

CTreeLinesStyle::CTreeLinesStyle()
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())),
      lines_(QStyleFactory::create(QStringLiteral("Windows"))) {}

CTreeLinesStyle::~CTreeLinesStyle() = default;

void CTreeLinesStyle::drawPrimitive(PrimitiveElement pe, const QStyleOption* opt, QPainter* p,
                                    const QWidget* w) const {
    if (pe == PE_IndicatorBranch && lines_) {
        lines_->drawPrimitive(pe, opt, p, w);
        return;
    }
    QProxyStyle::drawPrimitive(pe, opt, p, w);
}

void UseTreeLines(QWidget* tree) {
    auto* style = new CTreeLinesStyle;
    style->setParent(tree);
    tree->setStyle(style);
}

}  // namespace dov
