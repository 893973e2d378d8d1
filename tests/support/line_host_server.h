// The host side of an end-to-end test's line protocol (see line_host.h): commands arrive one
// line at a time on stdin, each answered by one line on stdout. "dialog <path>" queues the
// scripted file dialog's next answer and "quit" ends the host; every other command goes to the
// host's own handler, and one that it does not know is answered "unknown <command>".
#pragma once

#include "clipboard.h"
#include "desktop_program.h"
#include "form1_stand_in.h"
#include "message_box.h"
#include "printer.h"
#include "random_source.h"
#include "screen.h"
#include "scripted_platform.h"
#include "services.h"
#include "tick_gate.h"
#include "tick_queue.h"
#include "window_registry.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QString>

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

namespace zovex::test {

inline void reply(const QString& line) { std::cout << line.toStdString() << std::endl; }

// Says "ready" and runs the application's event loop, serving commands until "quit" or the end
// of stdin. `handle` answers a command and returns true, or returns false for one it does not know.
inline int serveLines(ScriptedFileDialog& dialogs,
                      const std::function<bool(const QString& command, const QString& argument)>& handle)
{
    auto serve = [&](const QString& line) {
        const QString command = line.section(QLatin1Char(' '), 0, 0);
        const QString argument = line.section(QLatin1Char(' '), 1);
        if (command == QLatin1String("dialog")) {
            dialogs.answers.push_back(argument);
            reply(QStringLiteral("dialog queued"));
        } else if (command == QLatin1String("quit")) {
            reply(QStringLiteral("bye"));
            QCoreApplication::quit();
        } else if (!handle(command, argument)) {
            reply(QStringLiteral("unknown ") + command);
        }
    };
    QSocketNotifier input(fileno(stdin), QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, qApp, [&] {
        // Lines that arrived together wait in cin's buffer, not in the pipe.
        do {
            std::string line;
            if (!std::getline(std::cin, line)) {
                input.setEnabled(false);
                QCoreApplication::quit();
                return;
            }
            serve(QString::fromStdString(line).trimmed());
        } while (std::cin.rdbuf()->in_avail() > 0);
    });
    reply(QStringLiteral("ready"));
    return QApplication::exec();
}

// A host's application around the windows it shows: Qt's own texts in Chinese as in the program,
// hidden windows that do not end it, and the program's environment of services with the real
// desktop (message boxes, printer, screen, clipboard) but the scripted file dialog, with Form1's
// stand-in registered. Its windows go before the application does.
class HostApplication {
public:
    HostApplication(int& argc, char** argv) : m_app(argc, argv)
    {
        m_app.setQuitOnLastWindowClosed(false);
        installChineseTranslation(m_app);
        registerForm1StandIn(registry);
    }
    ~HostApplication() { registry.reset(); }
    HostApplication(const HostApplication&) = delete;
    HostApplication& operator=(const HostApplication&) = delete;

    int serve(const std::function<bool(const QString& command, const QString& argument)>& handle)
    {
        return serveLines(dialogs, handle);
    }

private:
    QApplication m_app; // made first, gone last

public:
    ScriptedFileDialog dialogs;
    QtMessageBoxes boxes;
    QtPrinter printer;
    QtScreen screen;
    QtClipboard clipboard;
    TickQueue ticks;
    TickGate gate;
    RandomSource random;
    WindowRegistry registry{ticks};
    const Services services{boxes, dialogs, printer, screen, clipboard, registry, ticks, gate, random};
};

} // namespace zovex::test
