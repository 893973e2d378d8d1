// What a test run inside sway_session.sh needs to act on the headless sway desktop like a person
// at the screen:
// - the windows as sway sees them (swaymsg -t get_tree): title, app_id (native Wayland) or
//   X window role (Xwayland), rectangle in logical pixels, floating or tiled;
// - the output's mode and scale (swaymsg output HEADLESS-1 ...);
// - the screen as grim reads it, in device pixels;
// - a mouse (zovex_virtual_pointer, one device for the whole test) and a keyboard (wtype);
// - the Wayland clipboard (wl-paste, wl-copy);
// - the desktop portal stopped the way a desktop without one is: its bus name gone and not
//   activatable.
// Every wait is bounded; a tool that does not end in time is stopped and counts as failed.
#pragma once

#include "x_session.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <csignal>
#include <optional>

namespace zovex::test {

// One window of the sway tree.
struct SwayWindow {
    qint64 id = 0;
    QString title;
    QString appId; // native Wayland windows
    QString xRole; // Xwayland windows: WM_WINDOW_ROLE
    qint64 xTransientFor = 0;
    bool xwayland = false;
    bool floating = false;
    bool focused = false;
    QRect rect; // the window's content in logical layout pixels
};

class SwayDesktop {
public:
    explicit SwayDesktop(int waitMs) : m_waitMs(waitMs) { m_env = QProcessEnvironment::systemEnvironment(); }

    // Empty when this process runs inside the session, else why not.
    static QString inSession()
    {
        for (const char* var : {"WAYLAND_DISPLAY", "SWAYSOCK", "ZOVEX_SESSION_BIN", "DBUS_SESSION_BUS_ADDRESS"})
            if (!qEnvironmentVariableIsSet(var))
                return QStringLiteral("not inside sway_session.sh (%1 is not set)").arg(QLatin1String(var));
        return {};
    }
    // A program copied into the session's own folder by sway_session.sh --bin.
    static QString bin(const QString& name) { return QDir(qEnvironmentVariable("ZOVEX_SESSION_BIN")).filePath(name); }

    ToolRun run(const QString& program, const QStringList& args, const QByteArray& input = {}) const
    {
        ProcessGuard p;
        p.process->setProcessEnvironment(m_env);
        p.process->start(program, args);
        if (!input.isEmpty() && p.process->waitForStarted(m_waitMs)) {
            p.process->write(input);
        }
        p.process->closeWriteChannel();
        ToolRun r;
        if (p.process->waitForFinished(m_waitMs) && p.process->exitStatus() == QProcess::NormalExit)
            r.exitCode = p.process->exitCode();
        r.out = p.process->readAllStandardOutput();
        return r;
    }
    bool swaymsg(const QStringList& args) const { return run(QStringLiteral("swaymsg"), args).exitCode == 0; }

    // The output at `scale`, with a mode of `scale` times 1920x1080 device pixels, so that the
    // layout is 1920x1080 logical pixels at either scale.
    bool setScale(int scale) const
    {
        return swaymsg({QStringLiteral("output"), QStringLiteral("HEADLESS-1"), QStringLiteral("mode"),
                        QStringLiteral("%1x%2").arg(1920 * scale).arg(1080 * scale), QStringLiteral("scale"),
                        QString::number(scale)});
    }

    // Every window (view) of the tree, floating ones included.
    QList<SwayWindow> windows() const
    {
        const ToolRun r =
            run(QStringLiteral("swaymsg"), {QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")});
        QList<SwayWindow> out;
        if (r.exitCode == 0)
            collect(QJsonDocument::fromJson(r.out).object(), false, out);
        return out;
    }
    std::optional<SwayWindow> window(const QString& title) const
    {
        for (const SwayWindow& w : windows())
            if (w.title == title)
                return w;
        return std::nullopt;
    }
    std::optional<SwayWindow> waitForWindow(const QString& title) const
    {
        std::optional<SwayWindow> w;
        within(m_waitMs, [&] { return (w = window(title)).has_value(); });
        return w;
    }
    bool waitUntilGone(const QString& title) const
    {
        return within(m_waitMs, [&] { return !window(title).has_value(); });
    }
    // Closes the window as its close box does (xdg_toplevel.close or WM_DELETE_WINDOW).
    bool close(const SwayWindow& w) const
    {
        return swaymsg({QStringLiteral("[con_id=%1]").arg(w.id), QStringLiteral("kill")});
    }

    // The whole output in device pixels as grim reads it; null if unreadable.
    QImage screenshot() const
    {
        const ToolRun shot =
            run(QStringLiteral("grim"), {QStringLiteral("-t"), QStringLiteral("png"), QStringLiteral("-")});
        if (shot.exitCode != 0)
            return {};
        return QImage::fromData(shot.out, "PNG").convertToFormat(QImage::Format_RGB32);
    }

    // The mouse: one virtual pointer device for the whole test.
    QString startPointer()
    {
        m_pointer.process->setProcessEnvironment(m_env);
        m_pointer.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_pointer.process->start(bin(QStringLiteral("zovex_virtual_pointer")), {});
        if (!m_pointer.process->waitForStarted(m_waitMs))
            return QStringLiteral("zovex_virtual_pointer did not start: ") + m_pointer.process->errorString();
        return {};
    }
    // One pointer command ("move-abs X Y", "press", "release", "click"); true once done.
    bool pointer(const QString& command) const
    {
        QProcess& p = *m_pointer.process;
        if (p.state() != QProcess::Running)
            return false;
        p.write(command.toUtf8() + '\n');
        QByteArray line;
        QDeadlineTimer deadline(m_waitMs);
        while (!line.endsWith('\n')) {
            if (deadline.hasExpired() || !p.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                return false;
            line += p.readLine();
        }
        return line.trimmed() == "ok";
    }
    bool moveTo(QPoint logical) const
    {
        return pointer(QStringLiteral("move-abs %1 %2").arg(logical.x()).arg(logical.y()));
    }
    bool click(QPoint logical) const { return moveTo(logical) && pointer(QStringLiteral("click")); }
    // Press at `from`, move in steps to `to`, release there, as a hand drags.
    bool drag(QPoint from, QPoint to) const
    {
        if (!moveTo(from) || !pointer(QStringLiteral("press")))
            return false;
        for (int step = 1; step <= 4; ++step) {
            if (!moveTo(from + (to - from) * step / 4))
                return false;
        }
        return pointer(QStringLiteral("release"));
    }

    // Presses a key (an XKB name such as Return) in the focused window.
    bool key(const QString& name) const
    {
        return run(QStringLiteral("wtype"), {QStringLiteral("-k"), name}).exitCode == 0;
    }

    // The clipboard's content of `type`; empty if none.
    QByteArray paste(const QString& type) const
    {
        const ToolRun r =
            run(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
        return r.exitCode == 0 ? r.out : QByteArray();
    }
    QStringList pasteTypes() const
    {
        const ToolRun r = run(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")});
        return r.exitCode == 0 ? QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts) : QStringList{};
    }
    bool copy(const QByteArray& data, const QString& type) const
    {
        // wl-copy stays behind to serve the selection; it forks itself and the parent returns.
        return run(QStringLiteral("wl-copy"), {QStringLiteral("--type"), type}, data).exitCode == 0;
    }

    // Makes the desktop portal unavailable as on a desktop without one: its bus name not
    // activatable any more and its running process stopped. Empty when done, else what failed.
    QString stopPortal() const
    {
        const QString services = qEnvironmentVariable("ZOVEX_SESSION_SERVICES");
        const QString file = QDir(services).filePath(QStringLiteral("org.freedesktop.portal.Desktop.service"));
        if (QFile::exists(file) && !QFile::rename(file, file + QStringLiteral(".stopped")))
            return QStringLiteral("cannot take ") + file + QStringLiteral(" away");
        if (busCall(QStringLiteral("ReloadConfig"), {}).exitCode != 0)
            return QStringLiteral("the bus did not reload its configuration");
        const ToolRun pid = busCall(QStringLiteral("GetConnectionUnixProcessID"),
                                    {QStringLiteral("string:org.freedesktop.portal.Desktop")});
        if (pid.exitCode == 0) {
            const QList<QByteArray> words = pid.out.simplified().split(' ');
            const int n = words.isEmpty() ? 0 : words.back().toInt();
            if (n > 1)
                ::kill(n, SIGTERM);
        }
        if (!within(m_waitMs, [&] {
                const ToolRun owner =
                    busCall(QStringLiteral("NameHasOwner"), {QStringLiteral("string:org.freedesktop.portal.Desktop")});
                return owner.exitCode == 0 && owner.out.contains("false");
            }))
            return QStringLiteral("the portal did not stop");
        return {};
    }

private:
    ToolRun busCall(const QString& method, const QStringList& args) const
    {
        return run(QStringLiteral("dbus-send"),
                   QStringList{QStringLiteral("--session"), QStringLiteral("--print-reply"),
                               QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                               QStringLiteral("org.freedesktop.DBus.") + method}
                       << args);
    }

    static void collect(const QJsonObject& node, bool floating, QList<SwayWindow>& out)
    {
        const QString type = node.value(QStringLiteral("type")).toString();
        if ((type == QStringLiteral("con") || type == QStringLiteral("floating_con")) &&
            node.value(QStringLiteral("nodes")).toArray().isEmpty() && node.contains(QStringLiteral("pid"))) {
            SwayWindow w;
            w.id = node.value(QStringLiteral("id")).toInteger();
            w.title = node.value(QStringLiteral("name")).toString();
            w.appId = node.value(QStringLiteral("app_id")).toString();
            w.xwayland = node.value(QStringLiteral("shell")).toString() == QStringLiteral("xwayland");
            const QJsonObject props = node.value(QStringLiteral("window_properties")).toObject();
            w.xRole = props.value(QStringLiteral("window_role")).toString();
            w.xTransientFor = props.value(QStringLiteral("transient_for")).toInteger();
            w.floating = floating || type == QStringLiteral("floating_con");
            w.focused = node.value(QStringLiteral("focused")).toBool();
            const QJsonObject r = node.value(QStringLiteral("rect")).toObject();
            const QJsonObject wr = node.value(QStringLiteral("window_rect")).toObject();
            w.rect = QRect(r.value(QStringLiteral("x")).toInt() + wr.value(QStringLiteral("x")).toInt(),
                           r.value(QStringLiteral("y")).toInt() + wr.value(QStringLiteral("y")).toInt(),
                           wr.value(QStringLiteral("width")).toInt(), wr.value(QStringLiteral("height")).toInt());
            out << w;
        }
        for (const QJsonValue& child : node.value(QStringLiteral("nodes")).toArray())
            collect(child.toObject(), floating, out);
        for (const QJsonValue& child : node.value(QStringLiteral("floating_nodes")).toArray())
            collect(child.toObject(), true, out);
    }

    int m_waitMs;
    QProcessEnvironment m_env;
    ProcessGuard m_pointer;
};

// A control's centre, given at its twip place in a window's client area, in logical pixels.
inline QPoint twipCentre(const QRect& client, int left, int top, int width, int height)
{
    return client.topLeft() + QPoint((left + width / 2) / 15, (top + height / 2) / 15);
}

inline bool showsColour(const QImage& shot, QPoint device, QRgb colour)
{
    return shot.rect().contains(device) && (shot.pixel(device) & 0xFFFFFFu) == (colour & 0xFFFFFFu);
}

// The desktop program started as a user starts it (`env` added to the session's, `args` on its
// command line) and past the login dialog with Enter (the initial, empty password).
class ProgramOnSway {
public:
    static inline const QString kLogin = QStringLiteral("管理员登录");
    static inline const QString kDesigner = QStringLiteral("ZovexTessaly5.0(Quenda)");
    static inline const QString kCapture = QStringLiteral("Zovex剪裁抓图");

    ProgramOnSway(const SwayDesktop& desk, int waitMs) : m_desk(desk), m_waitMs(waitMs) {}

    // Empty once started, else what failed.
    QString start(const QProcessEnvironment& extra = {}, const QStringList& args = {})
    {
        if (const QString made = m_program.make(SwayDesktop::bin(QStringLiteral("zovex"))); !made.isEmpty())
            return made;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& k : extra.keys())
            env.insert(k, extra.value(k));
        m_app.process->setProcessEnvironment(env);
        m_app.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_app.process->start(m_program.path(), args);
        if (!m_app.process->waitForStarted(m_waitMs))
            return QStringLiteral("the program did not start: ") + m_app.process->errorString();
        return {};
    }
    // The first of the program's windows to appear: the login dialog or Form1.
    std::optional<SwayWindow> firstWindow() const
    {
        std::optional<SwayWindow> first;
        within(m_waitMs, [&] {
            for (const SwayWindow& w : m_desk.windows())
                if (w.title == kLogin || w.title == kDesigner) {
                    first = w;
                    return true;
                }
            return false;
        });
        return first;
    }
    // Form1, once the login dialog was answered with Enter.
    std::optional<SwayWindow> pastLogin() const
    {
        std::optional<SwayWindow> form1;
        within(m_waitMs, [&] {
            if ((form1 = m_desk.window(kDesigner)))
                return true;
            if (m_desk.window(kLogin))
                m_desk.key(QStringLiteral("Return"));
            return false;
        });
        return form1;
    }
    // "剪裁保存" of Form1 opens the capture window. Form1 may have been laid out anew since it
    // appeared; a press before the program takes input is pressed again.
    std::optional<SwayWindow> openCapture() const
    {
        std::optional<SwayWindow> capture;
        within(m_waitMs, [&] {
            if (const std::optional<SwayWindow> form1 = m_desk.window(kDesigner))
                m_desk.click(twipCentre(form1->rect, 20010, 5490, 1245, 375));
            return within(2000, [&] { return (capture = m_desk.window(kCapture)).has_value(); });
        });
        // Placed for good once two looks in a row find it at the same place.
        within(m_waitMs, [&] {
            const std::optional<SwayWindow> before = capture;
            QThread::msleep(200);
            capture = m_desk.window(kCapture);
            return capture && before && capture->rect == before->rect;
        });
        return capture;
    }
    // Chooses item `index` (0 "剪裁抓图", 1 "保存图像", 3 "退出") of the capture window's "文件"
    // menu: pressed on the menu's title, released on the item once the menu is drawn over the
    // window's picture (background `pictureBack`); a press that only gave the window the focus is
    // pressed again. The window is looked up anew each time: sway places a floating window again
    // once it knows its size. False if the menu did not open.
    bool chooseFileMenuItem(int index, int scale, QRgb pictureBack) const
    {
        return within(m_waitMs, [&] {
            const std::optional<SwayWindow> capture = m_desk.window(kCapture);
            if (!capture)
                return false;
            const QPoint first = capture->rect.topLeft() + QPoint(40, kFirstItemY);
            const auto menuShown = [&] {
                const QImage shot = m_desk.screenshot();
                return !shot.isNull() && !showsColour(shot, first * scale, pictureBack);
            };
            if (!m_desk.moveTo(capture->rect.topLeft() + QPoint(16, 10)) || !m_desk.pointer(QStringLiteral("press")))
                return false;
            const bool shown = within(2000, menuShown);
            if (shown)
                m_desk.moveTo(first + QPoint(0, index * kItemHeight));
            return m_desk.pointer(QStringLiteral("release")) && shown;
        });
    }
    QProcess& process() { return *m_app.process; }
    // Closes Form1 and waits for the program to end; true if it ended normally.
    bool closeAndEnd()
    {
        const std::optional<SwayWindow> f = m_desk.window(kDesigner);
        return f && m_desk.close(*f) && m_app.process->waitForFinished(m_waitMs) &&
               m_app.process->exitStatus() == QProcess::NormalExit;
    }

    // Where the "文件" menu's items are, in logical pixels from the window's top-left corner.
    static constexpr int kFirstItemY = 36;
    static constexpr int kItemHeight = 24;

private:
    const SwayDesktop& m_desk;
    int m_waitMs;
    ProgramCopy m_program;
    ProcessGuard m_app;
};

} // namespace zovex::test
