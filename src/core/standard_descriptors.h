// Descriptors 0, 1 and 2 that a program was started without (`>&-`). Whatever the program
// opens next would take their numbers, and a message for standard error would land in a font
// or an output file. Called first in main(), before anything opens a file, it puts /dev/null
// on each one that is closed, and says which were.
#pragma once

namespace zovex {

struct ClosedStandardDescriptors {
    bool input = false, output = false, error = false;
};

ClosedStandardDescriptors openNullOnClosedStandardDescriptors();

} // namespace zovex
