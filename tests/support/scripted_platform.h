// Scripted stand-ins for the desktop's message boxes and file dialogs: tests queue the user's
// answers and read back what was asked.
#pragma once

#include "common_dialog.h"
#include "message_box.h"

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace zovex::test {

class ScriptedMessageBoxes final : public MessageBoxes {
public:
    std::vector<MessageRequest> shown;
    std::deque<MsgAnswer> answers;   // popped per box; when empty, the default button
    std::function<void()> whileOpen; // runs while a box is "open" (e.g. drive a tick)

    MsgAnswer show(QWidget*, const MessageRequest& request) override
    {
        shown.push_back(request);
        if (whileOpen)
            whileOpen();
        if (answers.empty())
            return request.defaultAnswer;
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

class ScriptedFileDialog final : public FileDialogBackend {
public:
    std::vector<DialogRequest> requests;
    std::deque<QString> answers; // a null QString (kCancel) = the user cancels; empty queue: cancel
    std::function<void()> whileOpen;

    std::optional<QString> run(QWidget*, const DialogRequest& request) override
    {
        requests.push_back(request);
        if (whileOpen)
            whileOpen();
        if (answers.empty())
            return std::nullopt;
        const QString a = answers.front();
        answers.pop_front();
        if (a.isNull())
            return std::nullopt;
        return std::optional<QString>(std::in_place, a);
    }
};

inline const QString kCancel;

// The scripted boxes and dialogs a test hands to what it tests (test_services.h puts them in a
// whole environment).
struct ScriptedPlatform {
    ScriptedMessageBoxes boxes;
    ScriptedFileDialog dialogs;
};

} // namespace zovex::test
