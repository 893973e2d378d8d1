// What an end-to-end test needs to drive real programs on an X server of its own:
// - ProcessGuard stops a started process when it goes out of scope, whatever the test's outcome
//   (terminate, then kill if it lingers);
// - XSession starts a private Xvfb on a display number the server picks itself (-displayfd),
//   with a private runtime folder, and gives the environment that sends Qt programs and the X
//   tools (xdotool, xprop, wmctrl, import, xclip) there; it runs those tools and reads the
//   screen, and starts a window manager (openbox) where a test needs one;
// - ProgramCopy puts a copy of the built program in a folder of its own with the initial
//   (empty) administrator password beside it, so a run never touches the build's files;
//   startProgram makes that copy, starts the X server and runs the copy on it.
// Every wait on an outside process is bounded by the session's limit; a tool that does not end
// in time is stopped and counts as failed. within() polls a condition on the outside world.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <memory>
#include <optional>
#include <utility>

namespace zovex::test {

// Polls `probe` until it returns true or `ms` have passed; the last answer counts.
template <class F>
bool within(int ms, F&& probe)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (probe())
            return true;
        QThread::msleep(100);
    }
    return probe();
}

// Stops the started process at scope exit: terminate, then kill if it lingers.
struct ProcessGuard {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();

    ProcessGuard() = default;
    ProcessGuard(const ProcessGuard&) = delete;
    ProcessGuard& operator=(const ProcessGuard&) = delete;
    ~ProcessGuard()
    {
        if (process->state() == QProcess::NotRunning)
            return;
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
};

// How a tool ran: its exit code (-1 if it did not start, did not end in time or crashed) and
// what it wrote on its standard output.
struct ToolRun {
    int exitCode = -1;
    QByteArray out;
};

// A private X server and the tools that act on it like a person at the screen.
class XSession {
public:
    // `screen` as Xvfb takes it (WIDTHxHEIGHTxDEPTH); `waitMs` bounds every wait on Xvfb, on a
    // launched program's start and on each tool run.
    XSession(QString screen, int waitMs) : m_screen(std::move(screen)), m_waitMs(waitMs) {}
    // With more arguments for Xvfb (-noreset keeps the screen's resources when the last client
    // leaves).
    XSession(QString screen, int waitMs, QStringList serverArgs)
        : m_screen(std::move(screen)), m_waitMs(waitMs), m_serverArgs(std::move(serverArgs))
    {
    }

    // Empty once the server is up and has named its display, else what went wrong.
    QString start()
    {
        if (!m_runtimeDir.isValid())
            return QStringLiteral("no runtime folder: ") + m_runtimeDir.errorString();
        QFile::setPermissions(m_runtimeDir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcess& xvfb = *m_xvfb.process;
        xvfb.start(QStringLiteral("Xvfb"),
                   QStringList{QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                               QStringLiteral("0"), m_screen, QStringLiteral("-nolisten"), QStringLiteral("tcp")}
                       << m_serverArgs);
        if (!xvfb.waitForStarted(m_waitMs))
            return QStringLiteral("Xvfb did not start: ") + xvfb.errorString();
        QByteArray out;
        while (!out.contains('\n')) {
            if (!xvfb.waitForReadyRead(m_waitMs))
                return QStringLiteral("Xvfb did not name its display");
            out += xvfb.readAllStandardOutput();
        }
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + QString::fromLatin1(out.trimmed()));
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir.path());
        // xdotool matches UTF-8 titles.
        m_env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        // An X display of its own, not a Wayland desktop's Xwayland.
        m_env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        m_env.remove(QStringLiteral("XDG_SESSION_TYPE"));
        return {};
    }

    // Sets a variable for every program started on this display from now on.
    void setEnvironment(const QString& name, const QString& value) { m_env.insert(name, value); }
    // The screen's X resources (RESOURCE_MANAGER of the root window, as xrdb sets them), such as
    // "Xft.dpi:\t192\n"; Qt reads Xft.dpi from there. The server needs -noreset to keep them.
    bool setResources(const QString& resources) const
    {
        return run(QStringLiteral("xprop"),
                   {QStringLiteral("-root"), QStringLiteral("-f"), QStringLiteral("RESOURCE_MANAGER"),
                    QStringLiteral("8s"), QStringLiteral("-set"), QStringLiteral("RESOURCE_MANAGER"), resources})
                   .exitCode == 0;
    }

    // Starts a window manager (openbox, with its settings and caches in the session's private
    // folder) and waits until it manages the screen; empty then, else what went wrong. The
    // guard stops it. Tests of what a window manager makes of the program's windows (stacking,
    // owners, focus) need one; Xvfb alone stacks nothing.
    QString startWindowManager(ProcessGuard& guard)
    {
        for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
            m_env.insert(QString::fromLatin1(var), m_runtimeDir.path());
        if (!launch(guard, QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}))
            return QStringLiteral("openbox did not start: ") + guard.process->errorString();
        QDeadlineTimer deadline(m_waitMs);
        while (windowIds({QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}).isEmpty()) {
            if (deadline.hasExpired() || guard.process->state() == QProcess::NotRunning)
                return QStringLiteral("openbox did not take the screen");
            guard.process->waitForFinished(100);
        }
        return {};
    }

    // The window ids a window-valued property holds (xprop's "window id # 0x..., 0x..."), in
    // order; `args` select the window and the property, as xprop takes them.
    QList<qulonglong> windowIds(const QStringList& args) const
    {
        const ToolRun r = run(QStringLiteral("xprop"), args);
        QList<qulonglong> ids;
        const qsizetype hash = r.out.indexOf('#');
        if (r.exitCode != 0 || hash < 0)
            return ids;
        for (const QByteArray& part : r.out.mid(hash + 1).split(',')) {
            bool ok = false;
            const qulonglong id = part.trimmed().toULongLong(&ok, 16);
            if (ok)
                ids << id;
        }
        return ids;
    }
    // The window that `window` (an xdotool id) names as its owner in WM_TRANSIENT_FOR; 0 if none.
    qulonglong transientFor(const QByteArray& window) const
    {
        const QList<qulonglong> ids =
            windowIds({QStringLiteral("-id"), QString::fromLatin1(window), QStringLiteral("WM_TRANSIENT_FOR")});
        return ids.isEmpty() ? 0 : ids.front();
    }
    // The managed windows from the bottom of the stack to the top (needs a window manager).
    QList<qulonglong> stackingOrder() const
    {
        return windowIds({QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    }
    // The window that has the focus (needs a window manager); 0 if none.
    qulonglong activeWindow() const
    {
        const QList<qulonglong> ids = windowIds({QStringLiteral("-root"), QStringLiteral("_NET_ACTIVE_WINDOW")});
        return ids.isEmpty() ? 0 : ids.front();
    }
    // Asks the window manager to close the window as its close box does.
    bool closeWindow(const QByteArray& window) const
    {
        return run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), QString::fromLatin1(window)})
                   .exitCode == 0;
    }

    // Starts `program` on this display, its errors forwarded to the test's own; false if it did
    // not start in time. The guard stops it.
    bool launch(ProcessGuard& guard, const QString& program, const QStringList& args = {}) const
    {
        guard.process->setProcessEnvironment(m_env);
        guard.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        guard.process->start(program, args);
        return guard.process->waitForStarted(m_waitMs);
    }

    // Runs a tool on this display to its end.
    ToolRun run(const QString& program, const QStringList& args) const
    {
        ProcessGuard p;
        p.process->setProcessEnvironment(m_env);
        p.process->start(program, args);
        ToolRun r;
        if (p.process->waitForFinished(m_waitMs) && p.process->exitStatus() == QProcess::NormalExit)
            r.exitCode = p.process->exitCode();
        r.out = p.process->readAllStandardOutput();
        return r;
    }
    ToolRun xdotool(const QStringList& args) const { return run(QStringLiteral("xdotool"), args); }

    // Gives `window` the keyboard focus and presses `key` (an xdotool key name) in it.
    bool pressKey(const QByteArray& window, const QString& key) const
    {
        return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::fromLatin1(window)})
                       .exitCode == 0 &&
               xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), key}).exitCode == 0;
    }

    // Ids of the mapped windows whose title matches, now.
    QList<QByteArray> visibleWindows(const QString& titleRegex) const
    {
        const ToolRun r =
            xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), titleRegex});
        return r.exitCode == 0 ? r.out.trimmed().split('\n') : QList<QByteArray>{};
    }

    // The first window whose title matches, waiting for it to be mapped (xdotool polls itself);
    // empty if none was mapped in time.
    QByteArray waitForWindow(const QString& titleRegex) const
    {
        const ToolRun r = xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                   QStringLiteral("--name"), titleRegex});
        if (r.exitCode != 0)
            return {};
        return r.out.trimmed().split('\n').value(0);
    }

    // Waits for the program's window `role` ("Form1") titled `titleRegex` to be mapped, getting
    // through the login dialog on the way with Enter (the initial, empty password); empty if it
    // was not mapped in time.
    QByteArray waitPastLogin(const QString& titleRegex, const QByteArray& role) const
    {
        QByteArray window;
        within(m_waitMs, [&] {
            window = mappedWindow(titleRegex, role);
            if (!window.isEmpty())
                return true;
            for (const QByteArray& login : visibleWindows(QStringLiteral("^管理员登录$"))) {
                // Activated through the window manager where there is one, else focused directly.
                if (xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(login)})
                        .exitCode != 0)
                    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::fromLatin1(login)});
                xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("Return")});
            }
            return false;
        });
        return window;
    }

    // The mapped window whose title matches and whose WM_WINDOW_ROLE is `role`; empty if none.
    QByteArray mappedWindow(const QString& titleRegex, const QByteArray& role) const
    {
        for (const QByteArray& w : visibleWindows(titleRegex)) {
            if (windowRole(w) == role)
                return w;
        }
        return {};
    }

    // The window's WM_WINDOW_ROLE; empty if it has none.
    QByteArray windowRole(const QByteArray& window) const
    {
        const ToolRun r = run(QStringLiteral("xprop"),
                              {QStringLiteral("-id"), QString::fromLatin1(window), QStringLiteral("WM_WINDOW_ROLE")});
        if (r.exitCode != 0)
            return {};
        const int q = r.out.indexOf('"');
        return q < 0 ? QByteArray() : r.out.mid(q + 1, r.out.lastIndexOf('"') - q - 1);
    }

    // Where the window's client area is on the screen (xwininfo's absolute corner, which stays
    // right when a window manager has put a frame around the window).
    std::optional<QRect> geometry(const QByteArray& window) const
    {
        const ToolRun r = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::fromLatin1(window)});
        if (r.exitCode != 0)
            return std::nullopt;
        QRect g;
        for (const QByteArray& raw : r.out.split('\n')) {
            const QByteArray line = raw.trimmed();
            const qsizetype colon = line.lastIndexOf(':');
            if (colon < 0)
                continue;
            const QByteArray key = line.left(colon);
            const int v = line.mid(colon + 1).trimmed().toInt();
            if (key == "Absolute upper-left X")
                g.moveLeft(v);
            else if (key == "Absolute upper-left Y")
                g.moveTop(v);
            else if (key == "Width")
                g.setWidth(v);
            else if (key == "Height")
                g.setHeight(v);
        }
        return g;
    }

    // The screen's pixels in `r`, 3 bytes (R, G, B) each, row by row; empty if unreadable.
    QByteArray pixels(const QRect& r) const
    {
        const QString crop = QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
        const ToolRun shot = run(QStringLiteral("import"),
                                 {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"), crop,
                                  QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgb:-")});
        return shot.exitCode == 0 ? shot.out : QByteArray();
    }

    // The whole screen as RGB32; null if it could not be read.
    QImage screenshot() const
    {
        const ToolRun shot =
            run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")});
        return QImage::fromData(shot.out, "PNG").convertToFormat(QImage::Format_RGB32);
    }

    // Moves the pointer there, waiting until it has arrived, and clicks the left button.
    bool click(QPoint p) const
    {
        return xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(p.x()),
                        QString::number(p.y()), QStringLiteral("click"), QStringLiteral("1")})
                   .exitCode == 0;
    }

private:
    QString m_screen;
    int m_waitMs;
    QStringList m_serverArgs;
    QTemporaryDir m_runtimeDir; // outlives the server, which is stopped first
    ProcessGuard m_xvfb;
    QProcessEnvironment m_env;
};

// A control's place in twips in a window's client area, as screen pixels (15 twips a pixel).
inline QRect onScreen(const QRect& client, int left, int top, int width, int height)
{
    return QRect(client.x() + left / 15, client.y() + top / 15, width / 15, height / 15);
}

// The built program, copied to a folder of its own with the initial (empty) administrator password.
class ProgramCopy {
public:
    // Empty once `built` is copied and the password file written, else what went wrong.
    QString make(const QString& built)
    {
        if (!QFile::exists(built))
            return QStringLiteral("no program at ") + built;
        if (!m_dir.isValid())
            return QStringLiteral("no folder for the program: ") + m_dir.errorString();
        const QString program = m_dir.filePath(QStringLiteral("zovex"));
        if (!QFile::copy(built, program))
            return QStringLiteral("cannot copy the program to ") + program;
        QFile f(m_dir.filePath(QStringLiteral("wvkcom.cct")));
        if (!f.open(QIODevice::WriteOnly) || f.write("\"\"\r\n") != 4)
            return QStringLiteral("cannot write ") + f.fileName();
        m_path = program;
        return {};
    }
    // The copy; empty until make() succeeded.
    const QString& path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// Starts the whole program the way every end-to-end test of it does: `built` copied into
// `program`, `desk`'s X server started, then the copy on it with `args`, stopped by `app`. Empty
// once the program runs, else what went wrong.
inline QString startProgram(const QString& built, ProgramCopy& program, XSession& desk, ProcessGuard& app,
                            const QStringList& args = {})
{
    if (const QString copied = program.make(built); !copied.isEmpty())
        return copied;
    if (const QString started = desk.start(); !started.isEmpty())
        return started;
    if (!desk.launch(app, program.path(), args))
        return QStringLiteral("the program did not start: ") + app.process->errorString();
    return {};
}

} // namespace zovex::test
