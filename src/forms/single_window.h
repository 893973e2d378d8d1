// Single-instance windows in the window registry, made from their widget class alone: a window
// class W (a top-level widget whose constructor takes the program's Services, builds the
// controls and runs Form_Load) becomes the registry's kind with registerSingleWindow<W>(services,
// kind), and is reached with singleWindow<W>(registry, kind).
//
// Contract: registering a kind that is registered already changes nothing, so every module that
// shows the window may register it. singleWindow loads the window if need be (hidden, as every
// reference does). Show it with showWindow (app_windows.h).
#pragma once

#include "services.h"
#include "window_registry.h"

#include <memory>

namespace zovex {

template <class W>
class SingleWindow final : public Form {
public:
    explicit SingleWindow(const Services& services) : m_services(services) {}

    // The window, loaded if need be.
    W& window() { return static_cast<W&>(widget()); }

protected:
    std::unique_ptr<QWidget> createWidget() override { return std::make_unique<W>(m_services); }

private:
    Services m_services;
};

template <class W>
void registerSingleWindow(const Services& services, WindowKind kind)
{
    WindowRegistry& registry = services.windows;
    if (!registry.hasKind(kind))
        registry.registerKind(kind, [services] { return std::make_unique<SingleWindow<W>>(services); });
}

template <class W>
W& singleWindow(WindowRegistry& registry, WindowKind kind)
{
    return registry.as<SingleWindow<W>>(kind).window();
}

} // namespace zovex
