#include "message_box.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include <cmath>

namespace zovex {

int titleBarWidth(const QFont& font, const QString& title)
{
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics fm(bold);
    // The icon and three buttons are square, about a line and a half each; the bar's ends and
    // the gaps between its parts take about another line.
    const int chrome = 7 * fm.height();
    return static_cast<int>(std::ceil(fm.horizontalAdvance(title) * 1.25)) + chrome;
}

void prepareMessageBox(QMessageBox& box, const MessageRequest& r)
{
    box.setWindowTitle(r.title);
    box.setText(r.text);
    switch (r.icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (r.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(r.defaultAnswer == MsgAnswer::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    // The box takes the width its layout needs at least (it sizes itself when shown): a row
    // of its own holding only that width. Added last, as setting the icon lays the box anew.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const QMargins m = grid->contentsMargins();
        const int inner = titleBarWidth(box.font(), r.title) - m.left() - m.right();
        grid->addItem(new QSpacerItem(inner, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
}

MsgAnswer QtMessageBoxes::show(QWidget* parent, const MessageRequest& r)
{
    QMessageBox box(parent);
    prepareMessageBox(box, r);
    const int rc = box.exec();
    if (r.buttons == MsgButtons::YesNo)
        return rc == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    return MsgAnswer::Ok;
}

} // namespace zovex
