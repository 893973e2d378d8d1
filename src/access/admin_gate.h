// The password gate of the program's start: CheckAdminPassword reads the administrator
// password from "wvkcom.cct" in the program's folder, shows the login dialog up to three times
// and either lets the user in (Form1 is shown) or ends the program.
//
// Everything the gate touches is handed to it: the folder, the message boxes, the dialog and
// what "show Form1" means, so a whole start-up runs in a test with a scripted user. Ending the
// program is the result: the caller leaves before its event loop. The gate never throws.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QApplication;

namespace zovex {

class MessageBoxes;
struct Services;

// Module5's state, shared by the gate and the login dialog.
struct Module5 {
    QByteArray programDir;  // the folder that holds wvkcom.cct, as the file system's bytes
    QString StoredPassword; // decoded at start-up, at most 8 characters; not re-read during the run
};

// The program's one Module5 (its folder is the program's own, set by runAdminGate).
Module5& module5();

// How one showing of the login dialog ended.
enum class AttemptEnd {
    Closed,    // "确定" or the close box: the gate judges grzbpass
    Cancelled, // "取消": the program ends at once, without a message
};

// The login dialog as the gate sees it.
class LoginDialog {
public:
    virtual ~LoginDialog() = default;
    // Loads the dialog afresh in login mode, shows it modally and returns when it is closed.
    virtual AttemptEnd showModal() = 0;
    // Text1 as it was at the last "确定" of any showing; empty before the first.
    virtual QString grzbpass() const = 0;
};

enum class GateOutcome {
    Granted,        // Form1 was shown
    MissingFile,    // no "wvkcom.cct": message, then the end
    DamagedFile,    // the file holds no readable password: notice, then the end
    UnreadableFile, // the file cannot be read: notice, then the end
    Cancelled,      // "取消"
    Refused,        // three wrong attempts
};

inline bool endsProgram(GateOutcome o) { return o != GateOutcome::Granted; }

struct GateEnvironment {
    Module5& module;
    MessageBoxes& boxes;
    LoginDialog& dialog;
    std::function<void()> showForm1; // run once, on success, before the gate returns
};

// The texts the gate shows.
inline const QString kMissingFileText = QStringLiteral("保存密码的文件你藏哪去了?它叫wvkcom.cct,在同一目录里.");
inline const QString kWrongPasswordText = QStringLiteral("密码错误，请输入正确密码   ");
inline const QString kRefusalText = QStringLiteral("你无权使用本软件，请与Zovex联系  ");
inline const QString kRefusalTitle = QStringLiteral("Zovex禁告！");
QString damagedFileText(const QString& reason);
QString unreadableFileText(const QString& reason);

GateOutcome CheckAdminPassword(const GateEnvironment& env);

// The gate as the program runs it at start-up: the program's folder, and the message boxes and
// frmpass (registered here if need be) from the program's `services`. The application does not quit while the gate's
// boxes and dialogs open and close (no other window exists yet); quitting on the last window
// closed is switched back on afterwards.
GateOutcome runAdminGate(QApplication& app, const Services& services, const std::function<void()>& showForm1);

} // namespace zovex
