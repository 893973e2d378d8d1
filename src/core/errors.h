// The program's errors. Those raised by the drawing core and the generator are DrawErrors:
// callers that run "statement by statement" catch DrawError and go on; everything else lets it
// propagate. DialogCancelled is how a file dialog whose CancelError is on reports cancelling.
#pragma once

#include <stdexcept>
#include <string>

namespace zovex {

struct DrawError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A property was given a value outside its range; the old value stays.
struct InvalidPropertyValue : DrawError {
    using DrawError::DrawError;
};

// An integer conversion left the 16- or 32-bit range, or the value was not a number.
struct OverflowError : DrawError {
    using DrawError::DrawError;
};

// A text that should hold a number does not.
struct TypeMismatch : DrawError {
    using DrawError::DrawError;
};

struct DivisionByZero : DrawError {
    using DrawError::DrawError;
};

// Raised by a file dialog's Show* when the user cancels while CancelError is on.
struct DialogCancelled : std::runtime_error {
    DialogCancelled() : std::runtime_error("the file dialog was cancelled") {}
};

} // namespace zovex
