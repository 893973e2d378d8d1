// Statement-by-statement error handling: a routine that must go on when one of its statements
// fails (the generation tick, saving, printing) runs each statement through attempt(). Below
// every window module, so the designer, wallpaper and tool windows share the one helper.
#pragma once

namespace zovex {

// Runs one statement; a failure abandons the rest of that statement only. True when it ran to
// its end.
template <class F>
bool attempt(F&& statement) noexcept
{
    try {
        statement();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace zovex
