#include "app_windows.h"

namespace zovex {

bool showWindow(WindowKind kind, QWidget* owner)
{
    WindowRegistry& registry = WindowRegistry::instance();
    if (!registry.hasKind(kind))
        return false;
    registry.form(kind).Show(owner);
    return true;
}

bool showForm1() { return showWindow(WindowKind::Form1); }

bool showOwnedByForm1(WindowKind tool)
{
    WindowRegistry& registry = WindowRegistry::instance();
    if (!registry.hasKind(tool) || !registry.hasKind(WindowKind::Form1))
        return false;
    return showWindow(tool, &registry.form(WindowKind::Form1).widget());
}

} // namespace zovex
