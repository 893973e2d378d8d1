// Form1 as far as a tool window is concerned: a plain window the registry can show, owner of the
// tool windows and the window they show again when they close. Used wherever the real designer
// window is not wanted (window tests, the end-to-end hosts). Any other window a window under test
// hands over to can be a plain stand-in too (registerPlainStandIn).
#pragma once

#include "app_windows.h"

#include <QWidget>

#include <memory>

namespace zovex::test {

inline const QString kForm1StandInTitle = QStringLiteral("Form1 stand-in");

class Form1StandIn final : public Form {
protected:
    std::unique_ptr<QWidget> createWidget() override
    {
        auto w = std::make_unique<QWidget>();
        w->setWindowTitle(kForm1StandInTitle);
        w->setGeometry(700, 500, 200, 100);
        return w;
    }
};

// Makes the stand-in the registry's Form1.
inline void registerForm1StandIn()
{
    WindowRegistry::instance().registerKind(WindowKind::Form1, [] { return std::make_unique<Form1StandIn>(); });
}

// An empty window the registry makes for `kind`: enough to be shown, owned and closed.
class PlainStandIn final : public Form {
protected:
    std::unique_ptr<QWidget> createWidget() override { return std::make_unique<QWidget>(); }
};

inline void registerPlainStandIn(WindowKind kind)
{
    WindowRegistry::instance().registerKind(kind, [] { return std::make_unique<PlainStandIn>(); });
}

} // namespace zovex::test
