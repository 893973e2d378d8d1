// The whole of zovex-render, from its command line to its exit status, so that a test build
// of the program runs exactly the same steps.
#pragma once

namespace zovex {

int renderMain(int argc, char** argv);

} // namespace zovex
