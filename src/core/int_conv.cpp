#include "int_conv.h"

#include <charconv>
#include <string>

namespace zovex {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
} // namespace

std::optional<double> parseNumber(std::string_view text)
{
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    std::string_view s = text.substr(b, e - b);
    if (s.empty())
        return std::nullopt;

    // Validate the shape ourselves so that from_chars never sees "inf", "nan" or hex.
    std::size_t i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') {
        negative = s[i] == '-';
        ++i;
    }
    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        std::size_t expDigits = 0;
        while (j < s.size() && isDigit(s[j])) {
            ++j;
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
        i = j;
    }
    if (i != s.size())
        return std::nullopt;

    std::string_view body = s.substr(mantissaStart);
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec == std::errc::result_out_of_range)
        return negative ? -HUGE_VAL : HUGE_VAL; // converts to an overflow later
    if (ec != std::errc() || ptr != body.data() + body.size())
        return std::nullopt;
    return negative ? -value : value;
}

std::int16_t textToInt16(std::string_view text)
{
    const auto v = parseNumber(text);
    if (!v)
        throw TypeMismatch("type mismatch: \"" + std::string(text) + "\" is not a number");
    return toInt16(*v);
}

} // namespace zovex
