// Designer windows: what the program shows after start-up, the description of each category,
// navigation through the registry, the demonstration ring, keyboard order, closing and
// reopening, and the end of the program.
#include "designer_fixture.h"

#include "category.h"
#include "star_ring.h"
#include "app_windows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <QHash>
#include <QPaintEvent>
#include <QRegion>

#include <utility>

#include <optional>

using namespace zovex;
using zovex::test::DesignerTest;

namespace {

bool uniform(const QImage& img, Colour c)
{
    const QRgb want = toPixel(c);
    for (int y = 0; y < img.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (row[x] != want)
                return false;
        }
    }
    return true;
}

// The control that Tab moves the focus to from `w`.
QWidget* nextTabStop(QWidget* w)
{
    for (QWidget* n = w->nextInFocusChain(); n != w; n = n->nextInFocusChain()) {
        if ((n->focusPolicy() & Qt::TabFocus) && !n->isHidden() && n->isEnabled() && !n->focusProxy())
            return n;
    }
    return w;
}

Colour grabbedPixel(QWidget* w, int x, int y) { return fromPixel(w->grab().toImage().pixel(x, y)); }

} // namespace

TEST_F(DesignerTest, AfterStartOnlyForm1ExistsWithItsInitialState)
{
    DesignerWindow& w = start();
    EXPECT_TRUE(w.isVisible());
    for (int k = 2; k <= 10; ++k)
        EXPECT_FALSE(registry.hasForm(designerKind(k))) << "Form" << k;

    EXPECT_EQ(w.windowTitle(), QStringLiteral("ZovexTessaly5.0(Quenda)"));
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(w.Label8->text(), QStringLiteral("第1大类"));
    EXPECT_EQ(w.categoryLabel->text(), QStringLiteral("1"));
    EXPECT_TRUE(w.Label11->text().isEmpty());
    for (ImageBox* image : w.Image)
        EXPECT_TRUE(image->picture().isNull());
    EXPECT_TRUE(w.Check2->isChecked());
    EXPECT_EQ(w.Check2->text(), QStringLiteral("暂停"));
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 3000);

    // The canvas, as painted on screen, is the dark blue of a new window.
    EXPECT_TRUE(uniform(w.canvas().persistentImage(), RGB(0, 0, 64)));
    EXPECT_EQ(grabbedPixel(w.Picture1, PictureBox::kBorderPx, PictureBox::kBorderPx), RGB(0, 0, 64));
    EXPECT_EQ(grabbedPixel(w.Picture1, 430, 430), RGB(0, 0, 64));
}

TEST_F(DesignerTest, FirstTickDrawsCountsAndFillsThePreviewsWithOneSnapshot)
{
    DesignerWindow& w = start();
    w.Timer1_Timer();
    EXPECT_EQ(w.Label11->text(), QStringLiteral("1"));
    EXPECT_EQ(designerForm(1).DesignCount, 1);
    // Form1's first pattern after start-up has this background (the generator's sequence).
    EXPECT_EQ(w.canvas().pixel(5, 428), RGB(162, 123, 133));
    EXPECT_EQ(grabbedPixel(w.Picture1, 5 + PictureBox::kBorderPx, 428 + PictureBox::kBorderPx), RGB(162, 123, 133));

    const QImage shown = w.Image[0]->picture();
    EXPECT_EQ(shown, w.canvas().persistentImage());
    for (ImageBox* image : w.Image)
        EXPECT_EQ(image->picture().cacheKey(), shown.cacheKey()) << "the five previews share one image";

    // The previews keep the finished pattern when something else is drawn on the canvas.
    w.Text1->setText(QStringLiteral("5"));
    w.Command1_Click(1);
    EXPECT_NE(w.canvas().persistentImage(), w.Image[0]->picture());
    EXPECT_EQ(w.Image[0]->picture(), shown);

    for (int i = 2; i <= 10; ++i)
        w.Timer1_Timer();
    EXPECT_EQ(w.Label11->text(), QStringLiteral("10"));
}

namespace {

// The regions each widget of a window is asked to paint, from the event loop's repaints.
class PaintLog : public QObject {
public:
    explicit PaintLog(QWidget& window)
    {
        window.installEventFilter(this);
        for (QWidget* child : window.findChildren<QWidget*>())
            child->installEventFilter(this);
    }
    QRegion painted(const QObject* w) const { return m_painted.value(w); }
    void clear() { m_painted.clear(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted[watched] += static_cast<QPaintEvent*>(event)->region();
        return false;
    }

private:
    QHash<const QObject*, QRegion> m_painted;
};

// Lets the window system show `w` and the event loop make every repaint that is due.
bool exposeAndSettle(QWidget& w)
{
    if (!QTest::qWaitForWindowExposed(&w))
        return false;
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    return true;
}

} // namespace

TEST_F(DesignerTest, ATickCopiesNoCanvasAndRepaintsOnlyWhatItChanged)
{
    DesignerWindow& w = start();
    ASSERT_TRUE(exposeAndSettle(w));
    w.Timer1_Timer();
    const uchar* pixels = std::as_const(w.canvas()).persistentImage().constBits();
    for (ImageBox* image : w.Image)
        EXPECT_EQ(image->picture().constBits(), pixels) << "the previews show the canvas's own pixels";
    ASSERT_TRUE(exposeAndSettle(w));

    PaintLog log(w);
    w.Timer1_Timer();
    // The next pattern is drawn in place: the previews let go of the last one first, so the canvas
    // makes no copy of itself, and they share the new one.
    EXPECT_EQ(std::as_const(w.canvas()).persistentImage().constBits(), pixels);
    for (ImageBox* image : w.Image)
        EXPECT_EQ(image->picture().constBits(), pixels);
    EXPECT_EQ(w.Label11->text(), QStringLiteral("2"));
    // Right after the last pattern's repaint this one waits for the next frame of the screen.
    w.patternRepaints().repaintPending();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);

    // The canvas is repainted without its border and the window beneath the canvas and the
    // previews not at all. The window is maximised on a screen smaller than it: only what lies on
    // the screen is painted, and the previews, off it, not at all.
    const QRect onScreen = w.rect();
    EXPECT_EQ(log.painted(w.Picture1), QRegion(w.Picture1->interior() & onScreen.translated(-w.Picture1->pos())));
    for (ImageBox* image : w.Image) {
        if (!image->geometry().intersects(onScreen)) {
            EXPECT_TRUE(log.painted(image).isEmpty());
        }
    }
    const auto paintedUnderneath = [&] {
        QRegion under = w.Picture1->geometry();
        for (ImageBox* image : w.Image)
            under += image->geometry();
        return log.painted(&w).intersected(under);
    };
    EXPECT_TRUE(paintedUnderneath().isEmpty());

    // With room for the whole window, each preview is repainted over its whole box.
    w.setWindowState(Qt::WindowNoState);
    w.resize(w.childrenRect().united(QRect(0, 0, 1, 1)).size() + QSize(20, 20));
    ASSERT_TRUE(exposeAndSettle(w));
    log.clear();
    w.Timer1_Timer();
    w.patternRepaints().repaintPending();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    EXPECT_EQ(log.painted(w.Picture1), QRegion(w.Picture1->interior()));
    for (ImageBox* image : w.Image)
        EXPECT_EQ(log.painted(image), QRegion(image->rect()));
    EXPECT_TRUE(paintedUnderneath().isEmpty());
}

struct WindowCase {
    int k;
    const char* combo1;
    const char* combo2;
    const char* label8;
    const char* categoryLabelName;
    const char* informationLabelName;
    bool text2Shown;
    bool text3Shown;
    bool hasCommand19;
    int button1PixelSize;
    Colour canvasBack;
    int clientWidthPx;
};

TEST_F(DesignerTest, EachWindowFollowsItsRowOfTheDifferencesTable)
{
    const WindowCase cases[] = {
        {1, "90", "8", "第1大类", "Label14", "Label15", false, true, true, 16, RGB(0, 0, 64), 1432},
        {2, "90", "5", "第2大类", "Label7", "Label12", false, true, false, 16, RGB(0, 0, 64), 1214},
        {3, "90", "5", "第3大类", "Label7", "Label12", false, true, false, 16, RGB(0, 0, 64), 1214},
        {4, "90", "5", "第4大类", "Label7", "Label12", false, true, false, 12, RGB(0, 0, 64), 1214},
        {5, "90", "5", "第5大类", "Label7", "Label12", false, false, false, 16, RGB(0, 0, 64), 1214},
        {6, "90", "5", "第6大类", "Label7", "Label12", false, true, false, 16, kButtonFaceColour, 1214},
        {7, "90", "5", "第7大类", "Label7", "Label12", false, true, false, 16, RGB(0, 0, 64), 1214},
        {8, "90", "5", "第8大类", "Label7", "Label12", true, true, false, 16, RGB(0, 0, 64), 1214},
        {9, "20", "5", "第9大类", "Label7", "Label12", false, true, false, 16, RGB(0, 0, 64), 1214},
        {10, "12", "5", "第10大类", "Label7", "Label12", false, true, false, 16, RGB(0, 0, 64), 1214},
    };
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "Form" << c.k);
        DesignerWindow& w = window(c.k);
        EXPECT_EQ(w.objectName(), QStringLiteral("Form%1").arg(c.k));
        EXPECT_EQ(w.Combo1->currentText(), QString::fromUtf8(c.combo1));
        EXPECT_EQ(w.Combo2->currentText(), QString::fromUtf8(c.combo2));
        EXPECT_EQ(w.Label8->text(), QString::fromUtf8(c.label8));
        EXPECT_EQ(w.categoryLabel->objectName(), QString::fromLatin1(c.categoryLabelName));
        EXPECT_EQ(w.categoryLabel->text(), QString::number(c.k));
        EXPECT_TRUE(w.categoryLabel->isHidden());
        EXPECT_EQ(w.informationLabel->objectName(), QString::fromLatin1(c.informationLabelName));
        EXPECT_EQ(!w.Text2->isHidden(), c.text2Shown);
        EXPECT_EQ(!w.Text3->isHidden(), c.text3Shown);
        EXPECT_EQ(w.Text2->text(), QStringLiteral("Zovex软件公元2011年1月出品"));
        EXPECT_EQ(w.Text3->text(), QStringLiteral("世界顶级美术图案作品"));
        EXPECT_EQ(w.Text4->text(), QStringLiteral(" Zovex软件  祝全世界人民  幸福安康"));
        EXPECT_EQ(w.Command19 != nullptr, c.hasCommand19);
        if (w.Command19) {
            EXPECT_TRUE(w.Command19->isHidden());
            EXPECT_EQ(w.Command19->text(), QStringLiteral("高速排版"));
        }
        EXPECT_EQ(w.categoryButton(1)->font().pixelSize(), c.button1PixelSize);
        EXPECT_EQ(w.categoryButton(2)->font().pixelSize(), 16);
        EXPECT_TRUE(uniform(w.canvas().persistentImage(), c.canvasBack));
        EXPECT_EQ(w.normalGeometry().width(), c.clientWidthPx);
        EXPECT_EQ(w.normalGeometry().height(), 866);
        // The hidden text box still feeds the pattern.
        const TickInputs in = w.tickInputs();
        EXPECT_EQ(in.text2, w.Text2->text());
        EXPECT_EQ(in.categoryLabel, QString::number(c.k));
    }
}

TEST_F(DesignerTest, ControlsSitAtTheirTwipPositions)
{
    DesignerWindow& w = window(2);
    struct Place {
        QWidget* control;
        QRect twips;
    };
    const Place places[] = {
        {w.Picture1, {0, 0, 12915, 12915}},
        {w.Image[0], {13050, 120, 5775, 5775}},
        {w.Image[4], {18840, 5400, 480, 480}},
        {w.Check2, {13470, 6510, 1335, 255}},
        {w.Combo2, {16350, 7410, 1455, 300}},
        {w.Label8, {15450, 7860, 1275, 285}},
        {w.categoryButton(1), {13740, 8250, 495, 495}},
        {w.categoryButton(10), {16740, 8850, 495, 495}},
        {w.Command7, {16620, 10470, 915, 375}},
        {w.Label11, {14160, 9900, 2565, 285}},
        {w.Text4, {13230, 12120, 4575, 345}},
        {w.Command18, {20010, 5490, 1245, 375}},
        {w.Command1[1], {4260, 60, 1695, 315}},
        {w.Text1, {1020, 60, 495, 315}},
    };
    for (const Place& p : places) {
        const QRect px(p.twips.x() / 15, p.twips.y() / 15, p.twips.width() / 15, p.twips.height() / 15);
        EXPECT_EQ(p.control->geometry(), px) << p.control->objectName().toStdString();
    }
    // The canvas interior is the generator's canvas.
    EXPECT_EQ(w.canvas().widthPx(), kDesignerCanvasPx);
    EXPECT_EQ(w.canvas().heightPx(), kDesignerCanvasPx);
    EXPECT_EQ(w.informationLabel->text(),
              QString(informationText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_EQ(informationText().split(QStringLiteral("\r\n")).size(), 20);
}

TEST_F(DesignerTest, ComboListsAndTypedValues)
{
    DesignerWindow& w = window(2);
    ASSERT_EQ(w.Combo1->count(), 26);
    ASSERT_EQ(w.Combo2->count(), 16);
    EXPECT_EQ(w.Combo1->itemText(0), QStringLiteral("2"));
    EXPECT_EQ(w.Combo1->itemText(25), QStringLiteral("90"));
    EXPECT_EQ(w.Combo2->itemText(0), QStringLiteral("0"));
    EXPECT_EQ(w.Combo2->itemText(15), QStringLiteral("16"));
    EXPECT_EQ(w.Combo2->findText(QStringLiteral("11")), -1);

    // "11" can be typed; Enter neither completes nor adds it to the list.
    w.Combo2->lineEdit()->clear();
    QTest::keyClicks(w.Combo2->lineEdit(), QStringLiteral("11"));
    QTest::keyClick(w.Combo2->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(w.Combo2->currentText(), QStringLiteral("11"));
    EXPECT_EQ(w.Combo2->count(), 16);
    EXPECT_EQ(w.tickInputs().combo2, QStringLiteral("11"));

    // A prefix of a list item stays the prefix.
    w.Combo1->lineEdit()->clear();
    QTest::keyClicks(w.Combo1->lineEdit(), QStringLiteral("1"));
    EXPECT_EQ(w.Combo1->currentText(), QStringLiteral("1"));

    // Choosing from the list is what the next tick reads.
    w.Combo1->setCurrentIndex(3);
    EXPECT_EQ(w.tickInputs().combo1, QStringLiteral("5"));
    w.Timer1_Timer();
    EXPECT_EQ(w.canvas().DrawWidth(), 5);
    EXPECT_EQ(w.canvas().DrawMode(), 11);
}

TEST_F(DesignerTest, PressingACategoryButtonShowsThatWindowAndHidesAndCreatesTheOthers)
{
    DesignerWindow& f1 = start();
    f1.Timer1_Timer();
    f1.categoryButton(3)->click(); // "3"

    EXPECT_TRUE(shown(3));
    EXPECT_FALSE(f1.isVisible());
    for (int k = 1; k <= 10; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(loaded(k));
        EXPECT_EQ(window(k).isVisible(), k == 3);
        // Every created window generates, shown or hidden, from its own 3000 ms timer.
        EXPECT_TRUE(window(k).Timer1->isActive());
        EXPECT_EQ(window(k).Timer1->interval(), 3000);
    }
    EXPECT_EQ(window(3).Label8->text(), QStringLiteral("第3大类"));

    // Form1 went on counting while hidden; "1" in Form3 brings it back with that count.
    f1.Timer1_Timer();
    f1.Timer1_Timer();
    window(3).categoryButton(1)->click();
    EXPECT_TRUE(shown(1));
    EXPECT_FALSE(window(3).isVisible());
    EXPECT_EQ(&window(1), &f1);
    EXPECT_EQ(f1.Label11->text(), QStringLiteral("3"));
}

TEST_F(DesignerTest, TheOwnCategoryButtonChangesNothingVisible)
{
    DesignerWindow& f1 = start();
    f1.categoryButton(3)->click();
    DesignerWindow& f3 = window(3);
    f3.Timer1_Timer();
    const QImage before = f3.canvas().Image();
    const QString count = f3.Label11->text();

    f3.categoryButton(3)->click();
    EXPECT_TRUE(f3.isVisible());
    for (int k = 1; k <= 10; ++k)
        EXPECT_EQ(window(k).isVisible(), k == 3) << k;
    EXPECT_EQ(f3.canvas().persistentImage(), before);
    EXPECT_EQ(f3.Label11->text(), count);
    EXPECT_EQ(designerForm(3).DesignCount, 1);
}

struct RingCase {
    const char* text;
    std::optional<int> points; // nullopt: nothing is drawn
};

TEST_F(DesignerTest, DemonstrationRing)
{
    DesignerWindow& w = start();
    w.Timer1_Timer(); // the ring uses the width and mode the last tick set from the combos
    Canvas& c = w.canvas();
    ASSERT_EQ(c.DrawWidth(), 90);
    ASSERT_EQ(c.DrawMode(), 8);

    const RingCase cases[] = {
        {"5", 5},
        {"7.5", 8},
        {"6.5", 6},
        {"2", 3},
        {"-4", 3},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"40000", std::nullopt},
    };
    for (const RingCase& rc : cases) {
        SCOPED_TRACE(rc.text);
        w.Text1->setText(QString::fromUtf8(rc.text));
        for (int index = 0; index < 3; ++index) { // the index is not used: all three do the same
            w.Command1_Click(index);
            Canvas expected(kDesignerCanvasPx, kDesignerCanvasPx, c.BackColor());
            expected.setDrawWidth(c.DrawWidth());
            expected.setDrawMode(c.DrawMode());
            if (rc.points)
                DrawStarRing(expected, 1200, 1200, 3600, 3600, static_cast<std::int16_t>(*rc.points), RGB(0, 250, 0));
            EXPECT_EQ(c.persistentImage(), expected.persistentImage()) << "index " << index;
            EXPECT_EQ(w.Text1->text(), QString::fromUtf8(rc.text));
        }
    }
    // Not merely "something was drawn": 7.5 is eight points, not seven.
    Canvas seven(kDesignerCanvasPx, kDesignerCanvasPx, c.BackColor());
    seven.setDrawWidth(90);
    seven.setDrawMode(8);
    DrawStarRing(seven, 1200, 1200, 3600, 3600, 7, RGB(0, 250, 0));
    w.Text1->setText(QStringLiteral("7.5"));
    w.Command1_Click(0);
    EXPECT_NE(c.persistentImage(), seven.persistentImage());
}

TEST_F(DesignerTest, KeyboardFocusStartsOnTheCoveredStrip)
{
    DesignerWindow& w = start();
    EXPECT_EQ(w.focusWidget(), w.Command1[1]);
    EXPECT_EQ(nextTabStop(w.Command1[1]), w.Text1);
    EXPECT_EQ(nextTabStop(w.Text1), w.Command1[0]);
    EXPECT_EQ(nextTabStop(w.Command1[0]), w.Command1[2]);
    EXPECT_EQ(nextTabStop(w.Command1[2]), w.Check2);
    EXPECT_EQ(nextTabStop(w.Check2), w.Command2);
    // The canvas lies above the strip: a click there lands on the canvas.
    EXPECT_EQ(w.childAt(w.Command1[1]->geometry().center()), w.Picture1);
    EXPECT_EQ(w.childAt(w.Text1->geometry().center()), w.Picture1);

    // Space on the focused "Polygon Star" draws the green five-pointed ring.
    QTest::keyClick(w.Command1[1], Qt::Key_Space);
    Canvas expected(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    DrawStarRing(expected, 1200, 1200, 3600, 3600, 5, RGB(0, 250, 0));
    EXPECT_EQ(w.canvas().persistentImage(), expected.persistentImage());
}

TEST_F(DesignerTest, ClosingAWindowDiscardsItsControlsButNotItsCount)
{
    DesignerWindow& f1 = start();
    f1.categoryButton(2)->click(); // "2"
    QPointer<DesignerWindow> f2 = &window(2);
    f2->Timer1_Timer();
    f2->Timer1_Timer();
    f2->Text3->setText(QStringLiteral("改过的文字"));
    f2->Combo1->setEditText(QStringLiteral("7"));
    f2->Check2->click();  // paused
    f2->Command7_Click(); // 慢速

    f2->close();
    EXPECT_FALSE(loaded(2)) << "closed at once, before the widget is deleted";
    EXPECT_FALSE(f2->Timer1->isActive());
    for (int k = 1; k <= 10; ++k) {
        if (k != 2) {
            EXPECT_TRUE(loaded(k)) << k; // the others go on as before
        }
    }
    flushDeletes();
    EXPECT_TRUE(f2.isNull());
    EXPECT_EQ(designerForm(2).DesignCount, 2);

    window(1).categoryButton(2)->click();
    DesignerWindow& again = window(2);
    EXPECT_TRUE(again.isVisible());
    EXPECT_EQ(again.Text3->text(), QStringLiteral("世界顶级美术图案作品"));
    EXPECT_EQ(again.Combo1->currentText(), QStringLiteral("90"));
    EXPECT_EQ(again.Combo2->currentText(), QStringLiteral("5"));
    EXPECT_TRUE(again.Check2->isChecked());
    EXPECT_EQ(again.Check2->text(), QStringLiteral("暂停"));
    EXPECT_TRUE(again.Timer1->isActive());
    EXPECT_EQ(again.Timer1->interval(), 3000);
    EXPECT_TRUE(again.Label11->text().isEmpty());
    EXPECT_TRUE(again.Image[0]->picture().isNull());
    again.Timer1_Timer();
    EXPECT_EQ(again.Label11->text(), QStringLiteral("3"));
}

TEST_F(DesignerTest, ClosingTheLastVisibleWindowEndsTheProgramDespiteHiddenOnes)
{
    start().categoryButton(3)->click(); // Form3 shown, nine hidden
    bool timedOut = false;
    QTimer::singleShot(0, [this] { window(3).close(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    guard.start(20000);
    const int rc = QCoreApplication::exec();
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(rc, 0);
}

class FakeTool final : public Form {
protected:
    std::unique_ptr<QWidget> createWidget() override { return std::make_unique<QWidget>(); }
};

TEST_F(DesignerTest, ToolButtonsShowTheToolOwnedByForm1WhereverPressed)
{
    registry.registerKind(WindowKind::Form20, [] { return std::make_unique<FakeTool>(); });
    registry.registerKind(WindowKind::zvtdy, [] { return std::make_unique<FakeTool>(); });

    start().categoryButton(7)->click(); // "7"
    DesignerWindow& f7 = window(7);
    f7.Command18->click();
    QWidget& capture = registry.form(WindowKind::Form20).widget();
    EXPECT_TRUE(capture.isVisible());
    EXPECT_TRUE(capture.isWindow());
    EXPECT_EQ(registry.form(WindowKind::Form20).owner(), &window(1));
    EXPECT_TRUE(f7.isVisible());
    EXPECT_TRUE(f7.Timer1->isActive());

    f7.Command3->click();
    EXPECT_EQ(registry.form(WindowKind::zvtdy).owner(), &window(1));
    EXPECT_TRUE(registry.form(WindowKind::zvtdy).widget().isVisible());

    // A tool this program does not have is not shown, and nothing fails.
    f7.Command19_Click();
    EXPECT_FALSE(registry.hasForm(WindowKind::Form30));
}
