// Single-instance windows in the window registry, made from their widget class alone: a window
// class W (a top-level widget whose constructor builds the controls and runs Form_Load) becomes
// the registry's kind with registerSingleWindow<W>(kind), and is reached with singleWindow<W>(kind).
//
// Contract: registering a kind that is registered already changes nothing, so every module that
// shows the window may register it. singleWindow loads the window if need be (hidden, as every
// reference does). Show it with WindowRegistry::instance().form(kind).Show(owner).
#pragma once

#include "window_registry.h"

#include <memory>

namespace zovex {

template <class W>
class SingleWindow final : public Form {
public:
    // The window, loaded if need be.
    W& window() { return static_cast<W&>(widget()); }

protected:
    std::unique_ptr<QWidget> createWidget() override { return std::make_unique<W>(); }
};

template <class W>
void registerSingleWindow(WindowKind kind)
{
    WindowRegistry& registry = WindowRegistry::instance();
    if (!registry.hasKind(kind))
        registry.registerKind(kind, [] { return std::make_unique<SingleWindow<W>>(); });
}

template <class W>
W& singleWindow(WindowKind kind)
{
    return WindowRegistry::instance().as<SingleWindow<W>>(kind).window();
}

} // namespace zovex
