// Replaceable<Interface, Default>: the program's one instance of a desktop service (message
// boxes, file dialogs, printer, clipboard, screen). get() is the Default (the Qt one, made on
// first use) unless a test has put its own in with replace(); replace(nullptr) restores it.
// UI thread only.
#pragma once

namespace zovex {

template <class Interface, class Default>
class Replaceable {
public:
    static Interface& get()
    {
        static Default qt;
        return s_replacement ? *s_replacement : qt;
    }
    static void replace(Interface* replacement) { s_replacement = replacement; }

private:
    static inline Interface* s_replacement = nullptr;
};

} // namespace zovex
