#include "admin_gate.h"

#include "login_dialog.h"
#include "message_box.h"
#include "password_file.h"
#include "app_windows.h"
#include "services.h"

#include <QApplication>

#include <cstdint>

namespace zovex {

Module5& module5()
{
    static Module5 m;
    return m;
}

QString damagedFileText(const QString& reason)
{
    return QStringLiteral("密码文件wvkcom.cct已损坏（%1），无法读取密码。请与Zovex联系。").arg(reason);
}

QString unreadableFileText(const QString& reason)
{
    return QStringLiteral("无法读取密码文件wvkcom.cct（%1）。").arg(reason);
}

GateOutcome CheckAdminPassword(const GateEnvironment& env)
{
    env.module.StoredPassword.clear();
    const PasswordFileRead file = readPasswordFile(env.module.programDir);
    switch (file.state) {
    case PasswordFileState::Ok:
        break;
    case PasswordFileState::Missing:
        env.boxes.show(nullptr, {kMissingFileText, kNoticeTitle, MsgIcon::Question, MsgButtons::Ok, MsgAnswer::Ok});
        return GateOutcome::MissingFile;
    case PasswordFileState::Damaged:
        env.boxes.notice(nullptr, damagedFileText(file.reason));
        return GateOutcome::DamagedFile;
    case PasswordFileState::Unreadable:
        env.boxes.notice(nullptr, unreadableFileText(file.reason));
        return GateOutcome::UnreadableFile;
    }
    env.module.StoredPassword = file.storedPassword;

    std::int16_t attempts = 0;
    for (;;) {
        if (env.dialog.showModal() == AttemptEnd::Cancelled)
            return GateOutcome::Cancelled;
        if (env.module.StoredPassword == env.dialog.grzbpass())
            break;
        ++attempts;
        env.boxes.notice(nullptr, kWrongPasswordText);
        if (attempts == 3) {
            env.boxes.show(nullptr, {kRefusalText, kRefusalTitle, MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok});
            return GateOutcome::Refused;
        }
    }
    if (env.showForm1)
        env.showForm1();
    return GateOutcome::Granted;
}

GateOutcome runAdminGate(QApplication& app, const Services& services, const std::function<void()>& showForm1)
{
    Module5& m = module5();
    m.programDir = programFolder();
    WindowRegistry& registry = services.windows;
    MessageBoxes& boxes = services.messageBoxes;
    if (!registry.hasKind(WindowKind::frmpass))
        registry.registerKind(WindowKind::frmpass,
                              [&boxes] { return std::make_unique<FrmpassForm>(module5(), boxes); });

    struct QuitOnLastWindowClosedOff {
        QApplication& app;
        explicit QuitOnLastWindowClosedOff(QApplication& a) : app(a) { app.setQuitOnLastWindowClosed(false); }
        ~QuitOnLastWindowClosedOff() { app.setQuitOnLastWindowClosed(true); }
    } quitOff(app);

    return CheckAdminPassword({m, boxes, registry.as<FrmpassForm>(WindowKind::frmpass), showForm1});
}

} // namespace zovex
