#include "message_box.h"
#include "replaceable.h"

#include <QMessageBox>

namespace zovex {

MsgAnswer QtMessageBoxes::show(QWidget* parent, const MessageRequest& r)
{
    QMessageBox box(parent);
    box.setWindowTitle(r.title);
    box.setText(r.text);
    switch (r.icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    if (r.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(r.defaultAnswer == MsgAnswer::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int rc = box.exec();
    if (r.buttons == MsgButtons::YesNo)
        return rc == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    return MsgAnswer::Ok;
}

MessageBoxes& messageBoxes() { return Replaceable<MessageBoxes, QtMessageBoxes>::get(); }
void setMessageBoxes(MessageBoxes* boxes)
{
    Replaceable<MessageBoxes, QtMessageBoxes>::replace(boxes);
}

} // namespace zovex
