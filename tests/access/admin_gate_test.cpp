#include "admin_gate.h"

#include "access_test_support.h"
#include "password_file.h"
#include "scripted_platform.h"
#include "test_services.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace zovex;
using zovex::test::ProgramFolder;

namespace {

// One showing of the dialog as the user ends it.
struct Step {
    enum Kind { Ok, CloseBox, Cancel } kind;
    QString text1; // for Ok
};
Step ok(const QString& text) { return {Step::Ok, text}; }
const Step kCloseBox{Step::CloseBox, {}};
const Step kCancelButton{Step::Cancel, {}};

class ScriptedLoginDialog final : public LoginDialog {
public:
    std::deque<Step> steps;
    int shown = 0;
    QString pass;

    AttemptEnd showModal() override
    {
        ++shown;
        if (steps.empty()) {
            ADD_FAILURE() << "the dialog was shown more often than the script says";
            return AttemptEnd::Cancelled;
        }
        const Step s = steps.front();
        steps.pop_front();
        switch (s.kind) {
        case Step::Ok:
            pass = s.text1;
            return AttemptEnd::Closed;
        case Step::CloseBox:
            return AttemptEnd::Closed;
        case Step::Cancel:
            return AttemptEnd::Cancelled;
        }
        return AttemptEnd::Closed;
    }
    QString grzbpass() const override { return pass; }
};

struct Gate {
    ProgramFolder folder;
    Module5 module;
    test::ScriptedMessageBoxes boxes;
    ScriptedLoginDialog dialog;
    int form1Shown = 0;

    GateOutcome run(std::deque<Step> steps)
    {
        module.programDir = QFile::encodeName(folder.path());
        dialog.steps = std::move(steps);
        return CheckAdminPassword({module, boxes, dialog, [this] { ++form1Shown; }});
    }
    std::vector<QString> texts() const
    {
        std::vector<QString> t;
        for (const MessageRequest& r : boxes.shown)
            t.push_back(r.title + QLatin1Char('|') + r.text);
        return t;
    }
};

QString wrong() { return kNoticeTitle + QLatin1Char('|') + kWrongPasswordText; }
QString refusal() { return kRefusalTitle + QLatin1Char('|') + kRefusalText; }

QByteArray lineFor(const QByteArray& plain) { return passwordFileLine(*encodePassword(plain)); }

} // namespace

TEST(CheckAdminPassword, AttemptsAreJudgedOnGrzbpass)
{
    struct Case {
        const char* name;
        QByteArray password; // in the file
        std::deque<Step> steps;
        GateOutcome outcome;
        std::vector<QString> messages;
    };
    const std::vector<Case> cases = {
        {"empty password, 确定 with Text1 empty", "", {ok("")}, GateOutcome::Granted, {}},
        {"empty password, close box in the first attempt", "", {kCloseBox}, GateOutcome::Granted, {}},
        {"right at once", "abc", {ok("abc")}, GateOutcome::Granted, {}},
        {"case matters", "abc", {ok("ABC"), ok("Abc"), ok("abc")}, GateOutcome::Granted, {wrong(), wrong()}},
        {"three wrong attempts: two messages after the third, no fourth dialog",
         "abc",
         {ok("x"), ok("y"), ok("z")},
         GateOutcome::Refused,
         {wrong(), wrong(), wrong(), refusal()}},
        {"the close box keeps grzbpass from the last 确定",
         "abc",
         {ok("x"), kCloseBox, ok("abc")},
         GateOutcome::Granted,
         {wrong(), wrong()}},
        {"close box with a password set: grzbpass is empty",
         "abc",
         {kCloseBox, kCloseBox, kCloseBox},
         GateOutcome::Refused,
         {wrong(), wrong(), wrong(), refusal()}},
        {"取消 in the first attempt", "abc", {kCancelButton}, GateOutcome::Cancelled, {}},
        {"取消 in the third attempt",
         "abc",
         {ok("x"), ok("y"), kCancelButton},
         GateOutcome::Cancelled,
         {wrong(), wrong()}},
        {"ten stored characters: the first eight open", "abcdefghij", {ok("abcdefgh")}, GateOutcome::Granted, {}},
        {"ten stored characters: all ten do not",
         "abcdefghij",
         {ok("abcdefghij"), kCancelButton},
         GateOutcome::Cancelled,
         {wrong()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Gate g;
        g.folder.put(lineFor(c.password));
        const size_t steps = c.steps.size();
        EXPECT_EQ(g.run(c.steps), c.outcome);
        EXPECT_EQ(g.texts(), c.messages);
        EXPECT_EQ(g.dialog.shown, static_cast<int>(steps));
        EXPECT_EQ(g.form1Shown, c.outcome == GateOutcome::Granted ? 1 : 0);
        EXPECT_EQ(endsProgram(c.outcome), c.outcome != GateOutcome::Granted);
        EXPECT_EQ(g.module.StoredPassword, QString::fromLatin1(c.password.left(8)));
    }
}

TEST(CheckAdminPassword, MessagesCarryTheirIconsAndOnlyAnOkButton)
{
    Gate g;
    g.folder.put(lineFor("abc"));
    g.run({ok(""), ok(""), ok("")});
    ASSERT_EQ(g.boxes.shown.size(), 4u);
    for (const MessageRequest& r : g.boxes.shown) {
        EXPECT_EQ(r.icon, MsgIcon::Exclamation);
        EXPECT_EQ(r.buttons, MsgButtons::Ok);
    }
}

TEST(CheckAdminPassword, WithoutThePasswordFileNoDialogIsShown)
{
    for (const char* present : {"", "WVKCOM.CCT", "Wvkcom.cct", "wvkcom.cct ", "wvkcom.cct.txt"}) {
        SCOPED_TRACE(present);
        Gate g;
        if (*present)
            g.folder.put("\"\"\r\n", QString::fromLatin1(present));
        EXPECT_EQ(g.run({}), GateOutcome::MissingFile);
        ASSERT_EQ(g.boxes.shown.size(), 1u);
        EXPECT_EQ(g.boxes.shown[0].text, kMissingFileText);
        EXPECT_EQ(g.boxes.shown[0].title, kNoticeTitle);
        EXPECT_EQ(g.boxes.shown[0].icon, MsgIcon::Question);
        EXPECT_EQ(g.boxes.shown[0].buttons, MsgButtons::Ok);
        EXPECT_EQ(g.dialog.shown, 0);
        EXPECT_EQ(g.form1Shown, 0);
    }
}

TEST(CheckAdminPassword, ADamagedFileEndsTheProgramWithANoticeAndNoDialog)
{
    struct Case {
        const char* name;
        std::function<void(ProgramFolder&)> make;
    };
    std::mt19937 rng(6);
    QByteArray binary(512, Qt::Uninitialized);
    for (char& b : binary)
        b = static_cast<char>(rng());
    binary[0] = '"';
    binary[1] = '\0';

    const std::vector<Case> cases = {
        {"zero length", [](ProgramFolder& f) { f.put(""); }},
        {"a field without quotes", [](ProgramFolder& f) { f.put("abc\r\n"); }},
        {"a quote never closed", [](ProgramFolder& f) { f.put("\"\x95\x98\x9b\r\n"); }},
        {"more than 31 characters", [](ProgramFolder& f) { f.put("\"" + QByteArray(32, char(200)) + "\"\r\n"); }},
        {"a code decoding below 0", [](ProgramFolder& f) { f.put("\"\x95\x20\"\r\n"); }},
        {"binary content", [&](ProgramFolder& f) { f.put(binary); }},
        {"a picture", [](ProgramFolder& f) { f.put(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)); }},
        {"a very long line", [](ProgramFolder& f) { f.put("\"" + QByteArray(1 << 20, char(200)) + "\"\r\n"); }},
        {"a good line, then more than 4 KiB",
         [](ProgramFolder& f) { f.put("\"\"\r\n" + QByteArray(kMaxPasswordFileBytes, '\n')); }},
        {"a huge sparse file",
         [](ProgramFolder& f) {
             f.put("\"\"\r\n");
             ASSERT_EQ(::truncate(QFile::encodeName(f.file()).constData(), off_t(1) << 32), 0);
         }},
        {"a folder", [](ProgramFolder& f) { ASSERT_TRUE(QDir(f.path()).mkdir(QStringLiteral("wvkcom.cct"))); }},
        {"a link to a good file",
         [](ProgramFolder& f) {
             f.put("\"\"\r\n", QStringLiteral("real.cct"));
             ASSERT_TRUE(QFile::link(f.file(QStringLiteral("real.cct")), f.file()));
         }},
        {"a dangling link",
         [](ProgramFolder& f) { ASSERT_TRUE(QFile::link(f.file(QStringLiteral("nowhere")), f.file())); }},
        {"a named pipe (must not block)",
         [](ProgramFolder& f) { ASSERT_EQ(::mkfifo(QFile::encodeName(f.file()).constData(), 0600), 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Gate g;
        g.module.StoredPassword = QStringLiteral("stale");
        c.make(g.folder);
        EXPECT_EQ(g.run({}), GateOutcome::DamagedFile);
        ASSERT_EQ(g.boxes.shown.size(), 1u);
        EXPECT_EQ(g.boxes.shown[0].title, kNoticeTitle);
        EXPECT_TRUE(g.boxes.shown[0].text.startsWith(QStringLiteral("密码文件wvkcom.cct已损坏（")))
            << g.boxes.shown[0].text.toStdString();
        EXPECT_EQ(g.dialog.shown, 0);
        EXPECT_EQ(g.form1Shown, 0);
        EXPECT_TRUE(g.module.StoredPassword.isEmpty());
    }
}

TEST(CheckAdminPassword, LoginWorksFromAReadOnlyProgramFolder)
{
    Gate g;
    g.folder.put(lineFor("abc"));
    ASSERT_TRUE(QFile::setPermissions(g.folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const GateOutcome o = g.run({ok("abc")});
    QFile::setPermissions(g.folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(o, GateOutcome::Granted);
    EXPECT_EQ(g.form1Shown, 1);
}

TEST(RunAdminGate, UsesTheProgramsFolderAndKeepsTheProgramAliveWhileItsBoxesClose)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    ASSERT_FALSE(hasPasswordFileEntry(QCoreApplication::applicationDirPath()));
    test::TestServices env;
    test::ScriptedPlatform& platform = env.platform;
    std::vector<bool> quitOnLastWhileOpen;
    platform.boxes.whileOpen = [&] { quitOnLastWhileOpen.push_back(app->quitOnLastWindowClosed()); };
    app->setQuitOnLastWindowClosed(true);
    int form1 = 0;

    EXPECT_EQ(runAdminGate(*app, env.services, [&] { ++form1; }), GateOutcome::MissingFile);
    EXPECT_EQ(module5().programDir, QFile::encodeName(QCoreApplication::applicationDirPath()));
    ASSERT_EQ(platform.boxes.shown.size(), 1u);
    EXPECT_EQ(platform.boxes.shown[0].text, kMissingFileText);
    EXPECT_EQ(quitOnLastWhileOpen, std::vector<bool>{false});
    EXPECT_TRUE(app->quitOnLastWindowClosed());
    EXPECT_EQ(form1, 0);
}
