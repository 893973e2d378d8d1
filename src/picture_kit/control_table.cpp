#include "control_table.h"

#include "colour_button.h"
#include "font_faces.h"
#include "twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

namespace zovex {

QColor toQColor(Colour c) { return QColor::fromRgb(toPixel(c)); }

QFont songti(double points, bool bold) { return controlFont(QStringLiteral("宋体"), points, bold); }

void setColours(QWidget& widget, std::optional<Colour> fore, std::optional<Colour> back)
{
    if (!fore && !back)
        return;
    QPalette pal = widget.palette();
    if (fore) {
        for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            pal.setColor(role, toQColor(*fore));
    }
    if (back) {
        for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
            pal.setColor(role, toQColor(*back));
    }
    widget.setPalette(pal);
}

void placeControl(QWidget& widget, const char* name, const TwipsBox& place)
{
    widget.setObjectName(QString::fromLatin1(name));
    widget.setGeometry(twipsRect(place.left, place.top, place.width, place.height));
}

namespace {

// The row's colours on `w`; a background colour filled behind it where `fills`.
void dress(QWidget& w, const ControlRow& row, bool fills)
{
    setColours(w, row.fore, row.back);
    if (fills && row.back)
        w.setAutoFillBackground(true);
}

QWidget* make(QWidget& parent, const ControlRow& row)
{
    const QString& caption = row.caption;
    switch (row.kind) {
    case ControlKind::Label: {
        auto* label = new QLabel(caption, &parent);
        label->setAlignment(row.align);
        dress(*label, row, true);
        return label;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(caption, &parent);
        dress(*button, row, false);
        return button;
    }
    case ControlKind::ColourButton: {
        auto* button = new QPushButton(caption, &parent);
        if (row.back)
            button->setStyleSheet(colourButtonStyle(*row.back));
        return button;
    }
    case ControlKind::TextBox: {
        auto* box = new QLineEdit(caption, &parent);
        dress(*box, row, false);
        box->setCursorPosition(0);
        return box;
    }
    case ControlKind::ComboBox: {
        auto* combo = new QComboBox(&parent);
        combo->setEditable(true);
        combo->setCompleter(nullptr);
        combo->setInsertPolicy(QComboBox::NoInsert);
        dress(*combo, row, false);
        dress(*combo->lineEdit(), row, false);
        return combo;
    }
    case ControlKind::CheckBox: {
        auto* check = new QCheckBox(caption, &parent);
        dress(*check, row, true);
        return check;
    }
    }
    throw std::logic_error("control table: unknown control kind");
}

} // namespace

QWidget* buildControl(QWidget& parent, const ControlRow& row)
{
    QWidget* w = make(parent, row);
    placeControl(*w, row.name, row.place);
    w->setFont(songti(row.font.points, row.font.bold));
    return w;
}

void dressControl(QWidget& widget, const ControlRow& row)
{
    placeControl(widget, row.name, row.place);
    widget.setFont(songti(row.font.points, row.font.bold));
    setColours(widget, row.fore, row.back);
}

} // namespace zovex
