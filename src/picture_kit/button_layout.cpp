#include "button_layout.h"

#include <QWidget>

namespace zovex {

void alignRight(const QWidget& window, std::initializer_list<QWidget*> row, Twips gap)
{
    double right = static_cast<double>(pxToTwips(window.frameGeometry().width())) - gap;
    for (auto it = std::rbegin(row); it != std::rend(row); ++it) {
        QWidget* b = *it;
        right -= static_cast<double>(pxToTwips(b->width()));
        b->move(twipsToPx(right), b->y());
    }
}

} // namespace zovex
