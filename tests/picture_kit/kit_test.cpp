// The picture-window kit: the one twips rule, the right-aligned button row, the control table,
// openPicture, printPicture, and the picture windows' set-up and event routing.
#include "button_layout.h"
#include "colour_button.h"
#include "common_dialog.h"
#include "control_table.h"
#include "errors.h"
#include "font_faces.h"
#include "handler_guard.h"
#include "message_box.h"
#include "open_picture.h"
#include "picture_window.h"
#include "print_picture.h"
#include "twips.h"
#include "window_test.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>
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
        {0, 0},        {15, 1},   {43000, 2867}, // truncation would give 2866
        {33000, 2200}, {22.5, 2}, {37.5, 2},     {52.5, 4}, {-22.5, -2}, {7.4, 0}, {7.6, 1}, {12915, 861},
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
        {1000, 200, 786, 853, 920}, // 15000 - 3015 - 200 = 11785 twips = 785.67 px
        {300, 200, 86, 153, 220},
        {100, 200, -114, -47, 20}, // pushed past the left edge
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
        {{QStringLiteral("文件已经存在，是否覆盖文件？"), kQuestionTitle, MsgIcon::Question, MsgButtons::YesNo,
          MsgAnswer::Yes}},
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

TEST(ControlTable, EachKindMakesItsControlPlacedByTheTwipsRuleInItsFontAndColours)
{
    QWidget window;
    const struct {
        ControlRow row;
        const char* className;
    } cases[] = {
        {{"Label1", ControlKind::Label, {15, 22.5, 37.5, 52.5}, "标签", RGB(255, 0, 0), {}, kBold10_5}, "QLabel"},
        {{"Label2", ControlKind::Label, {0, 0, 300, 300}, "", RGB(0, 0, 128), RGB(192, 255, 192)}, "QLabel"},
        {{"Command1", ControlKind::Button, {43000, 0, 300, 300}, "按钮", {}, RGB(0, 128, 0)}, "QPushButton"},
        {{"Command2", ControlKind::ColourButton, {0, 0, 300, 300}, "颜色", {}, RGB(192, 192, 255)}, "QPushButton"},
        {{"Text1", ControlKind::TextBox, {0, 0, 300, 300}, "33000", RGB(0, 0, 192), RGB(255, 192, 255)}, "QLineEdit"},
        {{"Combo1", ControlKind::ComboBox, {0, 0, 300, 300}, "", RGB(0, 0, 255), RGB(192, 255, 255)}, "QComboBox"},
        {{"Check1", ControlKind::CheckBox, {0, 0, 300, 300}, "暂停", RGB(255, 0, 0), RGB(64, 0, 64), kBold9},
         "QCheckBox"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row.name);
        QWidget* w = buildControl(window, c.row);
        EXPECT_EQ(w->parentWidget(), &window);
        EXPECT_STREQ(w->metaObject()->className(), c.className);
        EXPECT_EQ(w->objectName(), QString::fromLatin1(c.row.name));
        EXPECT_EQ(w->geometry(), twipsRect(c.row.place.left, c.row.place.top, c.row.place.width, c.row.place.height));
        EXPECT_EQ(w->font(), controlFont(QStringLiteral("宋体"), c.row.font.points, c.row.font.bold));
        if (c.row.fore) {
            EXPECT_EQ(w->palette().color(QPalette::WindowText), toQColor(*c.row.fore));
        }
        if (c.row.back && c.row.kind != ControlKind::ColourButton) {
            EXPECT_EQ(w->palette().color(QPalette::Base), toQColor(*c.row.back));
        }
    }
    EXPECT_EQ(window.findChild<QLabel*>("Label1")->geometry(), QRect(1, 2, 2, 4));
    EXPECT_EQ(window.findChild<QLabel*>("Label1")->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_FALSE(window.findChild<QLabel*>("Label1")->autoFillBackground()) << "no back colour: transparent";
    EXPECT_TRUE(window.findChild<QLabel*>("Label2")->autoFillBackground());
    EXPECT_EQ(window.findChild<QPushButton*>("Command1")->x(), 2867);
    EXPECT_EQ(window.findChild<QPushButton*>("Command2")->styleSheet(), colourButtonStyle(RGB(192, 192, 255)));
    EXPECT_EQ(window.findChild<QLineEdit*>("Text1")->cursorPosition(), 0);
    auto* combo = window.findChild<QComboBox*>("Combo1");
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->completer(), nullptr);
    EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
    EXPECT_EQ(combo->lineEdit()->palette().color(QPalette::Text), QColor(0, 0, 255));
}

struct TableWindow final : QWidget {
    explicit TableWindow(MessageBoxes& boxes) : m_boxes(boxes) {}
    MessageBoxes& boxes() const { return m_boxes; }
    MessageBoxes& m_boxes;
    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;
    int clicks = 0;
    void Command1_Click()
    {
        if (++clicks == 2)
            throw std::runtime_error("boom");
    }
};

TEST_F(KitWindowTest, AWindowsRowsFillItsMembersAndWireClicksThroughTheGuard)
{
    TableWindow w(platform.boxes);
    using Control = WindowControl<TableWindow>;
    const Control rows[] = {
        {{"Label1", ControlKind::Label, {0, 0, 300, 300}, "说明"}, &TableWindow::Label1},
        {{"Command1", ControlKind::ColourButton, {300, 0, 300, 300}, "确定", {}, RGB(0, 192, 0)},
         &TableWindow::Command1,
         &TableWindow::Command1_Click},
    };
    buildWindowControls(w, rows);
    ASSERT_NE(w.Label1, nullptr);
    ASSERT_NE(w.Command1, nullptr);
    EXPECT_EQ(w.Label1->text(), QStringLiteral("说明"));
    w.Command1->click();
    EXPECT_EQ(w.clicks, 1);
    EXPECT_TRUE(platform.boxes.shown.empty());
    w.Command1->click(); // fails: NotAtAll tells the user, and nothing reaches Qt
    EXPECT_EQ(w.clicks, 2);
    EXPECT_EQ(platform.boxes.shown.size(), 1u);

    // A row whose kind does not fit its member, or a click on what is no button, is a fault of
    // the table, found when the window is built.
    const Control wrongKind = {{"Label9", ControlKind::TextBox, {}}, &TableWindow::Label1};
    EXPECT_THROW(buildWindowControl(w, wrongKind), std::logic_error);
    const Control clickOnLabel = {{"Label8", ControlKind::Label, {}}, {}, &TableWindow::Command1_Click};
    EXPECT_THROW(buildWindowControl(w, clickOnLabel), std::logic_error);
}

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

    CommonDialog dialog(platform.dialogs);
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
        {true, false, picture, NoPrinter::Notice, 0, 1},  {true, false, QImage(), NoPrinter::Notice, 0, 0},
        {true, true, picture, NoPrinter::Notice, 0, 0},   {false, false, picture, NoPrinter::Notice, 1, 0},
        {false, false, picture, NoPrinter::Silent, 0, 0},
    };
    for (const auto& c : cases) {
        printer = test::ScriptedPrinter();
        printer.present = c.present;
        printer.refuses = c.refuses;
        platform.boxes.shown.clear();
        printPicture(printer, platform.boxes, c.picture, nullptr, c.style);
        EXPECT_EQ(printer.calls, (std::vector<Call>{Call::PaintPicture, Call::EndDoc}));
        EXPECT_EQ(printer.pagesSent, c.pages);
        ASSERT_EQ(platform.boxes.shown.size(), c.notices);
        if (c.notices) {
            EXPECT_EQ(platform.boxes.shown[0].text, kNoPrinterText);
        }
    }
}

// A picture window that records which of its handlers ran, in order, and fails in the one named.
template <class Base>
class RecordingWindow final : public PictureWindow<Base> {
public:
    QStringList ran;
    QString failIn;

    explicit RecordingWindow(const Services& services) : PictureWindow<Base>(services) {}

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
    test::TestServices env;
};
using PictureWindowBases = ::testing::Types<QWidget, QMainWindow>;
TYPED_TEST_SUITE(PictureWindowTest, PictureWindowBases);

TYPED_TEST(PictureWindowTest, EveryResizeRunsFormResizeAndItsFailureTellsNoOne)
{
    RecordingWindow<TypeParam> w(this->env.services);
    w.resize(300, 200);
    w.show();
    EXPECT_EQ(w.ran, QStringList{QStringLiteral("Resize")}) << "the size given before showing counts once";
    w.failIn = QStringLiteral("Resize");
    w.resize(400, 250);
    EXPECT_EQ(w.ran, (QStringList{QStringLiteral("Resize"), QStringLiteral("Resize")}));
    EXPECT_EQ(w.size(), QSize(400, 250));
    EXPECT_TRUE(this->env.platform.boxes.shown.empty());
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
        RecordingWindow<TypeParam> w(this->env.services);
        w.show();
        w.ran.clear();
        w.failIn = QString::fromLatin1(c.failIn);
        EXPECT_TRUE(w.close());
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.ran, c.ran);
        EXPECT_TRUE(this->env.platform.boxes.shown.empty());
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

} // namespace
