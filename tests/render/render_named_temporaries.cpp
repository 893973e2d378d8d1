// zovex-render as on a file system without unnamed temporary files: every temporary file has
// a hidden name from its first byte to its rename.
#include "atomic_file.h"
#include "render_main.h"

int main(int argc, char** argv)
{
    zovex::detail::setUnnamedTemporariesAllowed(false);
    return zovex::renderMain(argc, argv);
}
