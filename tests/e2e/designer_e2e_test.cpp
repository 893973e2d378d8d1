// The real program on a real X server: Form1 is mapped with its caption, its canvas changes at
// the first tick (3 s after start), and a click on the "3" button shows Form3 with 第3大类.
// The test starts its own Xvfb (the server picks a free display itself, -displayfd) and stops
// it and the program afterwards, whatever the outcome. The polling below waits for a real
// process; nothing in the program is shortened or switched for the test.
#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

constexpr int kStartMs = 30000;

struct ProcessGuard {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
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

struct XServer {
    ProcessGuard xvfb;
    QString display;

    bool start()
    {
        xvfb.process->start(QStringLiteral("Xvfb"),
                            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                             QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!xvfb.process->waitForStarted(kStartMs))
            return false;
        QByteArray out;
        while (!out.contains('\n')) {
            if (!xvfb.process->waitForReadyRead(kStartMs))
                return false;
            out += xvfb.process->readAllStandardOutput();
        }
        display = QLatin1Char(':') + QString::fromLatin1(out.trimmed());
        return true;
    }
};

class Desktop {
public:
    Desktop(const QString& display, const QString& runtimeDir)
    {
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("DISPLAY"), display);
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        m_env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8")); // UTF-8 titles for xdotool
    }
    const QProcessEnvironment& env() const { return m_env; }

    // Runs a tool to its end; nullopt if it failed.
    std::optional<QByteArray> run(const QString& program, const QStringList& args) const
    {
        ProcessGuard p;
        p.process->setProcessEnvironment(m_env);
        p.process->start(program, args);
        if (!p.process->waitForFinished(kStartMs) || p.process->exitStatus() != QProcess::NormalExit ||
            p.process->exitCode() != 0)
            return std::nullopt;
        return p.process->readAllStandardOutput();
    }

    // Ids of the mapped windows whose title matches, now.
    QList<QByteArray> visibleWindows(const QString& titleRegex) const
    {
        const auto out = run(QStringLiteral("xdotool"),
                             {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), titleRegex});
        return out ? out->trimmed().split('\n') : QList<QByteArray>{};
    }

    QByteArray role(const QByteArray& window) const
    {
        const auto out = run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::fromLatin1(window),
                                                       QStringLiteral("WM_WINDOW_ROLE")});
        if (!out)
            return {};
        const int q = out->indexOf('"');
        return q < 0 ? QByteArray() : out->mid(q + 1, out->lastIndexOf('"') - q - 1);
    }

    std::optional<QRect> geometry(const QByteArray& window) const
    {
        const auto out = run(QStringLiteral("xdotool"),
                             {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::fromLatin1(window)});
        if (!out)
            return std::nullopt;
        QRect r;
        for (const QByteArray& line : out->split('\n')) {
            const QList<QByteArray> kv = line.split('=');
            if (kv.size() != 2)
                continue;
            const int v = kv[1].toInt();
            if (kv[0] == "X") r.moveLeft(v);
            if (kv[0] == "Y") r.moveTop(v);
            if (kv[0] == "WIDTH") r.setWidth(v);
            if (kv[0] == "HEIGHT") r.setHeight(v);
        }
        return r;
    }

    // The screen's pixels in `r`, 3 bytes (R, G, B) each, row by row.
    QByteArray pixels(const QRect& r) const
    {
        const QString crop = QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
        return run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"), crop,
                                              QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgb:-")})
            .value_or(QByteArray());
    }

    bool click(QPoint p) const
    {
        return run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(p.x()),
                                               QString::number(p.y()), QStringLiteral("click"), QStringLiteral("1")})
            .has_value();
    }

private:
    QProcessEnvironment m_env;
};

const QString kDesignerTitle = QStringLiteral("^ZovexTessaly5\\.0\\(Quenda\\)$");

// Polls `probe` until it returns true or the time is up.
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

// The designer window whose X window role is `form`, if one is mapped.
QByteArray mappedForm(const Desktop& desk, const QByteArray& form)
{
    for (const QByteArray& w : desk.visibleWindows(kDesignerTitle)) {
        if (desk.role(w) == form)
            return w;
    }
    return {};
}

int countColour(const QByteArray& rgb, int r, int g, int b)
{
    int n = 0;
    for (int i = 0; i + 2 < rgb.size(); i += 3) {
        if (static_cast<unsigned char>(rgb[i]) == r && static_cast<unsigned char>(rgb[i + 1]) == g &&
            static_cast<unsigned char>(rgb[i + 2]) == b)
            ++n;
    }
    return n;
}

// Twips of the client area to pixels on the screen.
QRect onScreen(const QRect& window, int left, int top, int width, int height)
{
    return QRect(window.x() + left / 15, window.y() + top / 15, width / 15, height / 15);
}

} // namespace

TEST(DesignerEndToEnd, Form1ComposesAndTheCategoryButtonShowsForm3)
{
    const QString built = QStringLiteral(ZOVEX_APP_BINARY);
    ASSERT_TRUE(QFile::exists(built)) << built.toStdString();
    // The program runs from a folder of its own, with the initial (empty) administrator password.
    QTemporaryDir programDir;
    QTemporaryDir runtimeDir;
    ASSERT_TRUE(programDir.isValid() && runtimeDir.isValid());
    QFile::setPermissions(runtimeDir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString program = programDir.filePath(QStringLiteral("zovex"));
    ASSERT_TRUE(QFile::copy(built, program));
    {
        QFile f(programDir.filePath(QStringLiteral("wvkcom.cct")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write("\"\"\r\n"), 4);
    }

    XServer x;
    ASSERT_TRUE(x.start()) << "Xvfb did not start";
    const Desktop desk(x.display, runtimeDir.path());

    ProcessGuard app;
    app.process->setProcessEnvironment(desk.env());
    app.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.process->start(program, {});
    ASSERT_TRUE(app.process->waitForStarted(kStartMs));

    // Through the login dialog, if the program asks (empty password: Enter lets the user in).
    QByteArray form1;
    ASSERT_TRUE(within(kStartMs, [&] {
        form1 = mappedForm(desk, "Form1");
        if (!form1.isEmpty())
            return true;
        for (const QByteArray& login : desk.visibleWindows(QStringLiteral("^管理员登录$"))) {
            desk.run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::fromLatin1(login)});
            desk.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("Return")});
        }
        return false;
    })) << "no window titled ZovexTessaly5.0(Quenda) was mapped";
    EXPECT_EQ(desk.visibleWindows(kDesignerTitle).size(), 1) << "only Form1 is on screen";

    const std::optional<QRect> g1 = desk.geometry(form1);
    ASSERT_TRUE(g1);
    EXPECT_EQ(g1->width(), 21480 / 15) << "Form1's client area";

    // A canvas pixel beside the rings: dark blue until the first tick, then the first pattern's
    // background (only Form1 draws from the random source so far).
    const QRect probe(g1->x() + 2 + 5, g1->y() + 2 + 428, 1, 1);
    QByteArray first = desk.pixels(probe);
    ASSERT_EQ(first.size(), 3);
    ASSERT_EQ(countColour(first, 0, 0, 64), 1) << "the first tick came before the window could be seen";
    QByteArray changed;
    ASSERT_TRUE(within(10000, [&] {
        changed = desk.pixels(probe);
        return changed.size() == 3 && changed != first;
    })) << "the canvas did not change after the first tick";
    EXPECT_EQ(countColour(changed, 162, 123, 133), 1) << "the first pattern's background";

    // Label8 of Form1 (第1大类), then the "3" button (Command10) at its twip position.
    const QByteArray label8Form1 = desk.pixels(onScreen(*g1, 15450, 7860, 1275, 285));
    EXPECT_GT(countColour(label8Form1, 215, 21, 123), 0) << "Label8's text colour";
    ASSERT_TRUE(desk.click(onScreen(*g1, 15240, 8250, 495, 495).center()));

    QByteArray form3;
    ASSERT_TRUE(within(10000, [&] {
        form3 = mappedForm(desk, "Form3");
        return !form3.isEmpty() && mappedForm(desk, "Form1").isEmpty();
    })) << "pressing 3 did not replace Form1 by Form3";
    EXPECT_EQ(desk.visibleWindows(kDesignerTitle).size(), 1) << "the other designer windows are hidden";
    const std::optional<QRect> g3 = desk.geometry(form3);
    ASSERT_TRUE(g3);
    QByteArray label8Form3;
    EXPECT_TRUE(within(5000, [&] {
        label8Form3 = desk.pixels(onScreen(*g3, 15450, 7860, 1275, 285));
        return countColour(label8Form3, 215, 21, 123) > 0;
    })) << "Form3's Label8 is not painted";
    EXPECT_NE(label8Form3, label8Form1) << "第3大类 differs from 第1大类";
    EXPECT_EQ(app.process->state(), QProcess::Running);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
