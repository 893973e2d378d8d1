// The picture-window kit: the one twips rule, the handler guard's three failure styles, the
// right-aligned button row, openPicture, printPicture, single-instance registration, the picture
// windows' set-up and event routing, Qt's own texts in Chinese and the end of the program when no
// window is visible.
#include "button_layout.h"
#include "common_dialog.h"
#include "desktop_program.h"
#include "errors.h"
#include "font_faces.h"
#include "handler_guard.h"
#include "message_box.h"
#include "open_picture.h"
#include "picture_window.h"
#include "print_picture.h"
#include "single_window.h"
#include "twips.h"
#include "window_test.h"
#include "app_windows.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QWindow>

#include <gtest/gtest.h>

#include <limits>
#include <new>
#include <optional>
#include <stdexcept>

using namespace zovex;

namespace {

TEST(Twips, OneRuleRoundsHalfToEven)
{
    const struct {
        double twips;
        int px;
    } cases[] = {
        {0, 0},       {15, 1},     {43000, 2867}, // truncation would give 2866
        {33000, 2200}, {22.5, 2},  {37.5, 2},     {52.5, 4},     {-22.5, -2}, {7.4, 0}, {7.6, 1},
        {12915, 861},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.twips);
        EXPECT_EQ(twipsToPx(c.twips), c.px);
    }
    EXPECT_EQ(twipsRect(30, 30, 9660, 7260), QRect(2, 2, 644, 484));
    EXPECT_EQ(twipsSize(43000, 33000), QSize(2867, 2200));
    EXPECT_EQ(pxToTwips(3), 45.0f);
    EXPECT_THROW(twipsToPx(1e12), OverflowError);
    EXPECT_THROW(twipsToPx(std::numeric_limits<double>::quiet_NaN()), OverflowError);
}

TEST(HandlerGuard, EachStyleEndsTheHandlerAndOnlyNotAtAllTellsTheUser)
{
    test::ScriptedPlatform platform;
    const struct {
        FailureStyle style;
        bool notice;
    } styles[] = {{FailureStyle::StatementByStatement, false},
                  {FailureStyle::WholeOperation, false},
                  {FailureStyle::NotAtAll, true}};
    for (const auto& s : styles) {
        platform.boxes.shown.clear();
        int after = 0;
        runHandler(s.style, nullptr, [&] {
            throw OverflowError("overflow converting to a 32-bit integer");
            ++after;
        });
        EXPECT_EQ(after, 0);
        ASSERT_EQ(platform.boxes.shown.size(), s.notice ? 1u : 0u);
        if (s.notice) {
            EXPECT_EQ(platform.boxes.shown[0].title, kNoticeTitle);
            EXPECT_EQ(platform.boxes.shown[0].icon, MsgIcon::Exclamation);
        }
    }
    // A handler that does not fail shows nothing in any style.
    runHandler(FailureStyle::NotAtAll, nullptr, [] {});
    EXPECT_EQ(platform.boxes.shown.size(), 1u);
}

TEST(HandlerGuard, TheNoticeSaysWhatFailedInChineseNeverTheExceptionsEnglish)
{
    const struct {
        std::exception_ptr error;
        QString says;
    } cases[] = {
        {std::make_exception_ptr(OverflowError("overflow converting to a 32-bit integer")),
         QStringLiteral("数值超出允许的范围")},
        {std::make_exception_ptr(TypeMismatch("type mismatch")), QStringLiteral("输入的不是数字")},
        {std::make_exception_ptr(std::bad_alloc()), QStringLiteral("内存不足")},
        {std::make_exception_ptr(std::logic_error("window kind not registered")), QStringLiteral("内部错误")},
        {std::make_exception_ptr(42), QStringLiteral("内部错误")},
    };
    for (const auto& c : cases) {
        const QString text = handlerFailureText(c.error);
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(text.startsWith(QStringLiteral("操作没有完成：")));
        EXPECT_TRUE(text.contains(c.says));
        EXPECT_FALSE(text.contains(QLatin1String("overflow")) || text.contains(QLatin1String("window kind")) ||
                     text.contains(QLatin1String("std::")));
    }
}

TEST(HandlerGuard, AConnectedHandlerThatThrowsNeverReachesQt)
{
    test::ScriptedPlatform platform;
    QWidget window;
    auto* button = new QPushButton(&window);
    int runs = 0;
    connectHandler(button, &QPushButton::clicked, &window, FailureStyle::NotAtAll, [&] {
        ++runs;
        throw std::runtime_error("boom");
    });
    button->click();
    button->click();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(platform.boxes.shown.size(), 2u);
}

TEST(ButtonLayout, ARowEndsTheGapBeforeTheRightEdge)
{
    QWidget window;
    QPushButton a(&window), b(&window), c(&window);
    for (QPushButton* p : {&a, &b, &c}) {
        p->resize(67, 19); // 1005 x 285 twips
        p->move(5, 7);
    }
    const struct {
        int windowPx;
        Twips gap;
        int a, b, c;
    } cases[] = {
        {1000, 200, 786, 853, 920},   // 15000 - 3015 - 200 = 11785 twips = 785.67 px
        {300, 200, 86, 153, 220},
        {100, 200, -114, -47, 20},    // pushed past the left edge
        {1000, 100, 792, 859, 926},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.windowPx);
        window.resize(t.windowPx, 200);
        alignRight(window, {&a, &b, &c}, t.gap);
        EXPECT_EQ(a.x(), t.a);
        EXPECT_EQ(b.x(), t.b);
        EXPECT_EQ(c.x(), t.c);
        EXPECT_EQ(a.y(), 7) << "tops are not touched";
    }
}

TEST(MessageBoxSize, EveryBoxIsWideEnoughForItsTitleAsWellAsItsText)
{
    const struct {
        MessageRequest request;
    } cases[] = {
        {{QStringLiteral("不能再缩小了"), kNoticeTitle, MsgIcon::None}},
        {{QStringLiteral("请先输入原密码！"), kNoticeTitle, MsgIcon::Exclamation}},
        {{QStringLiteral("文件已经存在，是否覆盖文件？"), kQuestionTitle, MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::Yes}},
        {{QStringLiteral("错"), QStringLiteral("Zovex禁告！"), MsgIcon::Critical}},
        {{QString(60, QChar(0x58C1)), kNoticeTitle, MsgIcon::Exclamation}}, // a text wider than any title
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.request.text.toStdString());
        QMessageBox box;
        prepareMessageBox(box, t.request);
        box.show();
        QCoreApplication::sendPostedEvents();
        // The title in bold, and beside it at least four square parts of a line's height: the
        // window's icon and the title bar's buttons.
        QFont bold = box.font();
        bold.setBold(true);
        const QFontMetrics fm(bold);
        EXPECT_GE(box.width(), fm.horizontalAdvance(t.request.title) + 4 * fm.height());
        EXPECT_EQ(box.windowTitle(), t.request.title);
        EXPECT_EQ(box.text(), t.request.text);

        // The text is shown as wide as a box of Qt's own would show it.
        QMessageBox plain;
        plain.setWindowTitle(t.request.title);
        plain.setText(t.request.text);
        plain.setIcon(box.icon());
        plain.setStandardButtons(box.standardButtons());
        plain.show();
        QCoreApplication::sendPostedEvents();
        EXPECT_GE(box.width(), plain.width());
        EXPECT_LE(box.height(), plain.height() + fm.height()) << "a box only wider, not taller";
    }
}

class KitWindowTest : public test::WindowTest {};

TEST_F(KitWindowTest, OpenPictureSetsTheFilterAndLoadsTheChosenFileOrNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage picture(12, 8, QImage::Format_RGB32);
    picture.fill(qRgb(1, 2, 3));
    const QString good = dir.filePath(QStringLiteral("p.png"));
    ASSERT_TRUE(picture.save(good, "PNG"));
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
    }

    CommonDialog dialog;
    dialog.FileName = QStringLiteral("earlier");
    platform.dialogs.answers = {test::kCancel, text, good};
    EXPECT_TRUE(openPicture(dialog, nullptr).isNull());
    EXPECT_EQ(dialog.FileName, QStringLiteral("earlier")) << "a cancel leaves the name";
    EXPECT_TRUE(openPicture(dialog, nullptr).isNull());
    EXPECT_EQ(dialog.FileName, text);
    EXPECT_EQ(openPicture(dialog, nullptr).convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_EQ(dialog.FileName, good);
    EXPECT_TRUE(dialog.CancelError);
    ASSERT_EQ(platform.dialogs.requests.size(), 3u);
    EXPECT_EQ(platform.dialogs.requests[0].mode, DialogMode::Open);
    EXPECT_EQ(platform.dialogs.requests[0].filters.size(), 4);
    EXPECT_EQ(platform.dialogs.requests[0].filters[0], QStringLiteral("All Files (*.*)"));
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(KitWindowTest, PrintPictureEndsTheDocumentAlwaysAndTellsOfNoPrinterOnlyWhenAsked)
{
    using Call = test::ScriptedPrinter::Call;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const struct {
        bool present;
        bool refuses;
        QImage picture;
        NoPrinter style;
        std::size_t notices;
        int pages;
    } cases[] = {
        {true, false, picture, NoPrinter::Notice, 0, 1},   {true, false, QImage(), NoPrinter::Notice, 0, 0},
        {true, true, picture, NoPrinter::Notice, 0, 0},    {false, false, picture, NoPrinter::Notice, 1, 0},
        {false, false, picture, NoPrinter::Silent, 0, 0},
    };
    for (const auto& c : cases) {
        printer.printer = test::ScriptedPrinter();
        printer.printer.present = c.present;
        printer.printer.refuses = c.refuses;
        platform.boxes.shown.clear();
        printPicture(c.picture, nullptr, c.style);
        EXPECT_EQ(printer.printer.calls, (std::vector<Call>{Call::PaintPicture, Call::EndDoc}));
        EXPECT_EQ(printer.printer.pagesSent, c.pages);
        ASSERT_EQ(platform.boxes.shown.size(), c.notices);
        if (c.notices) {
            EXPECT_EQ(platform.boxes.shown[0].text, kNoPrinterText);
        }
    }
}

class Probe final : public QWidget {
public:
    static inline int made = 0;
    Probe() { ++made; }
};

TEST_F(KitWindowTest, ASingleWindowRegisteredTwiceIsStillOneWindow)
{
    Probe::made = 0;
    registerSingleWindow<Probe>(WindowKind::Form40);
    Probe& first = singleWindow<Probe>(WindowKind::Form40);
    registerSingleWindow<Probe>(WindowKind::Form40);
    EXPECT_EQ(&singleWindow<Probe>(WindowKind::Form40), &first);
    EXPECT_EQ(Probe::made, 1);
    first.close();
    singleWindow<Probe>(WindowKind::Form40);
    EXPECT_EQ(Probe::made, 2) << "closed, it is made anew at the next reference";
}

// A picture window that records which of its handlers ran, in order, and fails in the one named.
template <class Base>
class RecordingWindow final : public PictureWindow<Base> {
public:
    QStringList ran;
    QString failIn;

    void Form_Resize() override { record(QStringLiteral("Resize")); }
    void Form_QueryUnload() override { record(QStringLiteral("QueryUnload")); }
    void Form_Unload() override { record(QStringLiteral("Unload")); }

private:
    void record(const QString& handler)
    {
        ran << handler;
        if (handler == failIn)
            throw OverflowError("overflow converting to a 16-bit integer");
    }
};

template <class Base>
class PictureWindowTest : public ::testing::Test {
protected:
    test::ScriptedPlatform platform;
};
using PictureWindowBases = ::testing::Types<QWidget, QMainWindow>;
TYPED_TEST_SUITE(PictureWindowTest, PictureWindowBases);

TYPED_TEST(PictureWindowTest, EveryResizeRunsFormResizeAndItsFailureTellsNoOne)
{
    RecordingWindow<TypeParam> w;
    w.resize(300, 200);
    w.show();
    EXPECT_EQ(w.ran, QStringList{QStringLiteral("Resize")}) << "the size given before showing counts once";
    w.failIn = QStringLiteral("Resize");
    w.resize(400, 250);
    EXPECT_EQ(w.ran, (QStringList{QStringLiteral("Resize"), QStringLiteral("Resize")}));
    EXPECT_EQ(w.size(), QSize(400, 250));
    EXPECT_TRUE(this->platform.boxes.shown.empty());
}

TYPED_TEST(PictureWindowTest, CloseRunsQueryUnloadThenUnloadAndClosesWhateverFails)
{
    const struct {
        const char* failIn;
        QStringList ran;
    } cases[] = {
        {"", {QStringLiteral("QueryUnload"), QStringLiteral("Unload")}},
        {"QueryUnload", {QStringLiteral("QueryUnload")}}, // the whole operation ends there
        {"Unload", {QStringLiteral("QueryUnload"), QStringLiteral("Unload")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failIn);
        RecordingWindow<TypeParam> w;
        w.show();
        w.ran.clear();
        w.failIn = QString::fromLatin1(c.failIn);
        EXPECT_TRUE(w.close());
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.ran, c.ran);
        EXPECT_TRUE(this->platform.boxes.shown.empty());
    }
}

TEST(PictureWindowSetUp, NamesCaptionsAndDressesTheWindowWithOrWithoutABackground)
{
    const struct {
        std::optional<Colour> background;
        bool filled;
    } cases[] = {{RGB(192, 255, 255), true}, {std::nullopt, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filled);
        QWidget w;
        const QColor styleBackground = w.palette().color(QPalette::Window);
        setUpPictureWindow(w, QStringLiteral("Form40"), QStringLiteral("Zovex图像缩放剪裁"), c.background);
        EXPECT_EQ(w.objectName(), QStringLiteral("Form40"));
        EXPECT_EQ(w.windowRole(), QStringLiteral("Form40"));
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Zovex图像缩放剪裁"));
        EXPECT_EQ(w.font(), controlFont(QStringLiteral("宋体"), 9, false));
        EXPECT_EQ(w.autoFillBackground(), c.filled);
        EXPECT_EQ(w.palette().color(QPalette::Window), c.filled ? QColor(192, 255, 255) : styleBackground);
    }
}

// Restores Qt's own texts after the test: other tests of this program read English ones.
struct TranslationInstalled {
    TranslationInstalled() { ok = installChineseTranslation(*QCoreApplication::instance()); }
    ~TranslationInstalled()
    {
        for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>())
            delete t;
    }
    bool ok = false;
};

TEST(ChineseTranslation, QtsOwnButtonsAndFileDialogSpeakChinese)
{
    TranslationInstalled installed;
    ASSERT_TRUE(installed.ok) << "qtbase_zh_CN not found in Qt's translations folder";
    EXPECT_TRUE(installChineseTranslation(*QCoreApplication::instance())) << "a second call changes nothing";

    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    ASSERT_NE(lookIn, nullptr);
    EXPECT_EQ(lookIn->text(), QStringLiteral("查找范围："));
}

TEST(ProgramEnd, ComesWhenNoWindowIsVisibleNotWhenTheLastUnownedOneCloses)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    int ends = 0;
    endProgramWhenNoWindowIsVisible(*app, [&] { ++ends; });
    EXPECT_FALSE(app->quitOnLastWindowClosed());
    const auto settle = [] { QCoreApplication::sendPostedEvents(); };

    QWidget designer;
    QWidget hiddenDesigner;
    QWidget tool;
    designer.show();
    hiddenDesigner.show();
    hiddenDesigner.hide();
    tool.winId();
    tool.windowHandle()->setTransientParent(designer.windowHandle());
    tool.show();
    settle();

    designer.close();
    settle();
    EXPECT_EQ(ends, 0) << "the owned tool window is still on the screen";

    // Hidden and shown again in one handler: the program goes on.
    tool.hide();
    designer.show();
    settle();
    EXPECT_EQ(ends, 0);

    designer.close();
    tool.close();
    settle();
    EXPECT_EQ(ends, 1) << "only a hidden window is left";

    endProgramWhenNoWindowIsVisible(*app, [] {});
    app->setQuitOnLastWindowClosed(true);
}

} // namespace
