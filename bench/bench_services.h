// The program's environment of services as the program builds it at its start (the desktop's
// real message boxes, file dialogs, printer, screen and clipboard; a registry, tick queue, gate
// and random source of its own), for a benchmark's windows. Its windows go with it.
#pragma once

#include "clipboard.h"
#include "common_dialog.h"
#include "message_box.h"
#include "printer.h"
#include "random_source.h"
#include "screen.h"
#include "services.h"
#include "tick_gate.h"
#include "tick_queue.h"
#include "window_registry.h"

#include <QCoreApplication>
#include <QEvent>

namespace zovex::bench {

struct BenchServices {
    QtMessageBoxes boxes;
    QtFileDialogBackend dialogs;
    QtPrinter printer;
    QtScreen screen;
    QtClipboard clipboard;
    TickQueue ticks;
    TickGate gate;
    RandomSource random;
    WindowRegistry windows{ticks};
    const Services services{boxes, dialogs, printer, screen, clipboard, windows, ticks, gate, random};

    BenchServices() = default;
    BenchServices(const BenchServices&) = delete;
    BenchServices& operator=(const BenchServices&) = delete;
    ~BenchServices()
    {
        windows.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace zovex::bench
