#include "app_windows.h"

namespace zovex {

bool showWindow(WindowRegistry& registry, WindowKind kind, QWidget* owner)
{
    if (!registry.hasKind(kind))
        return false;
    registry.form(kind).Show(owner);
    return true;
}

bool showForm1(WindowRegistry& registry) { return showWindow(registry, WindowKind::Form1); }

bool showOwnedByForm1(WindowRegistry& registry, WindowKind tool)
{
    if (!registry.hasKind(tool) || !registry.hasKind(WindowKind::Form1))
        return false;
    return showWindow(registry, tool, &registry.form(WindowKind::Form1).widget());
}

} // namespace zovex
