#include "app_windows.h"

namespace zovex {

void showOwnedByForm1(WindowKind tool)
{
    WindowRegistry& registry = WindowRegistry::instance();
    if (!registry.hasKind(tool))
        return;
    registry.form(tool).Show(&registry.form(WindowKind::Form1).widget());
}

} // namespace zovex
