// Conversions of floating values to integers, the one rule of the whole program: round to
// the nearest integer with ties to the even neighbour, then check the target range.
// A result outside int16/int32 (or a NaN) raises OverflowError.
#pragma once

#include "errors.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zovex {

// Ties to even regardless of the current floating-point rounding mode.
inline double roundHalfEven(double v)
{
    double r = std::round(v); // ties away from zero
    if (std::fabs(v - std::trunc(v)) == 0.5)
        r = 2.0 * std::round(v / 2.0);
    return r;
}

inline std::int16_t toInt16(double v)
{
    const double r = roundHalfEven(v);
    if (!(r >= -32768.0 && r <= 32767.0))
        throw OverflowError("overflow converting to a 16-bit integer");
    return static_cast<std::int16_t>(r);
}

inline std::int32_t toInt32(double v)
{
    const double r = roundHalfEven(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        throw OverflowError("overflow converting to a 32-bit integer");
    return static_cast<std::int32_t>(r);
}

// The numeric reading of a text as a combo box or text box holds it: optional blanks around,
// an optional sign, digits with an optional "." fraction and an optional exponent. Anything
// else is not a number (nullopt).
std::optional<double> parseNumber(std::string_view text);

// Text to a 16-bit integer: TypeMismatch when the text is not a number, OverflowError when it
// rounds outside the range.
std::int16_t textToInt16(std::string_view text);

} // namespace zovex
