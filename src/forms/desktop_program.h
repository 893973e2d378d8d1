// What a program with windows sets up once at its start, after its QApplication exists.
//
// - installChineseTranslation: Qt's own texts (the standard buttons, the file dialog, the
//   overwrite question) in Chinese, whatever the user's locale, since every text of the program
//   is Chinese: Yes reads "是(&Y)", the file dialog's "Look in:" reads "查找范围：". The texts
//   come from Qt's translations folder (qtbase_zh_CN, Debian qt6-translations-l10n). False when
//   they cannot be found; the program then runs with Qt's English ones.
// - endProgramWhenNoWindowIsVisible: the program ends when none of its windows is visible any
//   more. Hidden windows (designer windows go on generating while hidden) do not count; owned
//   tool windows do, unlike Qt's own rule, which counts windows without an owner only. The test
//   is made after the event that hid or closed a window has been handled, so a window hidden and
//   another shown in one handler never end the program.
#pragma once

#include <functional>

class QApplication;
class QCoreApplication;

namespace zovex {

bool installChineseTranslation(QCoreApplication& app);

// `end` is what ending the program means; QCoreApplication::quit unless a test says otherwise.
// A later call replaces the earlier one.
void endProgramWhenNoWindowIsVisible(QApplication& app, std::function<void()> end = {});

// Whether any window of the program counts as shown: a visible top-level widget that may keep
// the program alive (not a menu, tooltip or an overlay that opted out with WA_QuitOnClose).
bool anyProgramWindowVisible();

} // namespace zovex
