// The controls of a window as a table: one row a control, in creation order (which is also the
// order in which they lie one above the other), read by one builder.
//
// A row names the control (its object name, the control's name in the window's description),
// its kind, its place in twips from the client area's top-left corner (converted by the one
// twips rule), its caption or text, its colours and its font. Every control of the program is
// made here, so that a label, a button or a text box looks the same wherever it stands:
// - Label: the caption placed by the row's alignment (from the top-left corner unless the row
//   says otherwise), transparent unless it has a back colour;
// - Button: a push button in the desktop's style, its face the back colour when one is given;
// - ColourButton: the panels' graphical button (colour_button.h), its face the back colour;
// - TextBox: a one-line text box holding the caption, its text from the first character;
// - ComboBox: an editable list whose typed value stays what was typed (no completion, nothing
//   added to the list);
// - CheckBox: a check box with the caption, filled with its back colour when it has one.
// Fore and back colours are the control's text and background; a control without them keeps
// what its parent and style give it.
//
// WindowControl<W> adds the window's side: the member of W that holds the control and the
// handler its click runs through the handler guard, in the failure style of that handler.
#pragma once

#include "colour.h"
#include "handler_guard.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include <optional>
#include <span>
#include <stdexcept>
#include <type_traits>
#include <variant>

namespace zovex {

// A colour of the system as Qt's.
QColor toQColor(Colour c);

// 宋体 at `points` (96 dpi), bold or not: the face of every window and control of the program;
// 9 points, not bold, is every window's own font.
QFont songti(double points = 9, bool bold = false);

// Gives `widget` the text colour `fore` and the background colour `back`, each where given (for
// the window, the box and the button roles alike).
void setColours(QWidget& widget, std::optional<Colour> fore, std::optional<Colour> back = std::nullopt);

enum class ControlKind { Label, Button, ColourButton, TextBox, ComboBox, CheckBox };

// Left, top, width and height in twips.
struct TwipsBox {
    double left = 0, top = 0, width = 0, height = 0;
};

struct ControlFont {
    double points = 9;
    bool bold = false;
};
inline constexpr ControlFont kBold9{9, true};
inline constexpr ControlFont kBold10_5{10.5, true};

struct ControlRow {
    const char* name = "";
    ControlKind kind = ControlKind::Label;
    TwipsBox place;
    QString caption = QString();
    std::optional<Colour> fore = std::nullopt;
    std::optional<Colour> back = std::nullopt;
    ControlFont font = {};
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop; // a label's caption in its box
};

// Names `widget` and puts it at `place`.
void placeControl(QWidget& widget, const char* name, const TwipsBox& place);

// Makes the row's control in `parent`, which owns it.
QWidget* buildControl(QWidget& parent, const ControlRow& row);

// What buildControl gives every control, for one of a class of the window's own (a label that
// reports clicks, say): the name, the place, the font and the colours of the row.
void dressControl(QWidget& widget, const ControlRow& row);

// `w` as T; std::logic_error when it is not one.
template <class T>
T* buildControlAs(QWidget* w)
{
    T* typed = qobject_cast<T*>(w);
    if (!typed)
        throw std::logic_error("control table: a control is not of the class asked for");
    return typed;
}

// The row's control as the class its kind makes; std::logic_error when the row makes another.
template <class T>
T* buildControl(QWidget& parent, const ControlRow& row)
{
    return buildControlAs<T>(buildControl(parent, row));
}

template <class W>
using ControlMember = std::variant<std::monostate, QLabel * W::*, QPushButton * W::*, QLineEdit * W::*,
                                   QComboBox * W::*, QCheckBox * W::*>;

template <class W>
struct WindowControl {
    ControlRow row;
    ControlMember<W> member = {};
    void (W::*onClick)() = nullptr;
    FailureStyle style = FailureStyle::NotAtAll;
};

// Builds the control in `window` (or in `parent`, a panel of it), stores it in its member and
// wires its click to its handler, which reports through the window's boxes(). Returns the control.
template <class W>
QWidget* buildWindowControl(W& window, const WindowControl<W>& c, QWidget* parent = nullptr)
{
    QWidget* w = buildControl(parent ? *parent : window, c.row);
    std::visit(
        [&](auto member) {
            if constexpr (!std::is_same_v<decltype(member), std::monostate>) {
                using Control = std::remove_pointer_t<std::remove_reference_t<decltype(window.*member)>>;
                window.*member = buildControlAs<Control>(w);
            }
        },
        c.member);
    if (c.onClick) {
        const auto handler = c.onClick;
        connectHandler(window.boxes(), buildControlAs<QAbstractButton>(w), &QAbstractButton::clicked, &window, c.style,
                       [&window, handler] { (window.*handler)(); });
    }
    return w;
}

// Every row, in order, as buildWindowControl.
template <class W>
void buildWindowControls(W& window, std::type_identity_t<std::span<const WindowControl<W>>> rows,
                         QWidget* parent = nullptr)
{
    for (const WindowControl<W>& c : rows)
        buildWindowControl(window, c, parent);
}

} // namespace zovex
