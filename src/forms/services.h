// Services: the program's environment, everything a window uses outside itself. One is built
// at the program's start (the desktop's real message boxes, file dialogs, printer, screen and
// clipboard, and the one window registry, tick queue, tick gate and random source) and every
// window receives it in its constructor, from the registry entry that makes the window; kit
// functions and the handler guard take what they need from the window they serve. Nothing in
// the program reaches a service any other way, so a test builds its own environment (scripted
// desktop, fresh registry) and hands it in.
//
// The struct only names the services; whoever builds it owns them, and they outlive every
// window that holds the struct (the registry's windows above all).
#pragma once

namespace zovex {

class Clipboard;
class FileDialogBackend;
class MessageBoxes;
class Printer;
class RandomSource;
class Screen;
class TickGate;
class TickQueue;
class WindowRegistry;

struct Services {
    MessageBoxes& messageBoxes;
    FileDialogBackend& fileDialogs;
    Printer& printer;
    Screen& screen;
    Clipboard& clipboard;
    WindowRegistry& windows;
    TickQueue& ticks;
    TickGate& tickGate;
    RandomSource& random; // the generator's one source of patterns
};

} // namespace zovex
