// zovex-render: composes patterns headless, as a designer window would; see render_main.h.
#include "render_main.h"

int main(int argc, char** argv) { return zovex::renderMain(argc, argv); }
