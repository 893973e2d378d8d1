// Run control: pause and resume, the four speeds, per-window independence, and the one random
// source that every window's ticks draw from.
#include "designer_fixture.h"

#include "category.h"
#include "tick_queue.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>

#include <limits>

using namespace zovex;
using zovex::test::DesignerTest;

TEST_F(DesignerTest, PauseAndResume)
{
    DesignerWindow& w = start();
    w.Timer1_Timer();
    const QImage pattern = w.canvas().Image();

    w.Check2->click(); // the user's click: the value toggles, then the handler runs
    EXPECT_FALSE(w.Check2->isChecked());
    EXPECT_EQ(w.Check2->text(), QStringLiteral("播放"));
    EXPECT_FALSE(w.Timer1->isActive()) << "no tick comes while paused";
    EXPECT_EQ(w.canvas().persistentImage(), pattern) << "pausing draws nothing";
    EXPECT_EQ(w.Label11->text(), QStringLiteral("1"));

    w.Check2->click();
    EXPECT_TRUE(w.Check2->isChecked());
    EXPECT_EQ(w.Check2->text(), QStringLiteral("暂停"));
    ASSERT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 3000);
    EXPECT_GT(w.Timer1->remainingTime(), 2900) << "the next pattern comes one full interval later";
    EXPECT_EQ(w.canvas().persistentImage(), pattern) << "resuming runs no tick at once";
    EXPECT_EQ(w.Label11->text(), QStringLiteral("1"));
}

TEST_F(DesignerTest, SpeedButtonsSetTheIntervalAndNeverTheRunState)
{
    struct Speed {
        QPushButton* DesignerWindow::*button;
        const char* caption;
        int intervalMs;
    };
    const Speed speeds[] = {
        {&DesignerWindow::Command5, "快速", 1000},
        {&DesignerWindow::Command6, "高速", 1},
        {&DesignerWindow::Command7, "慢速", 6000},
        {&DesignerWindow::Command4, "正常", 3000},
    };
    DesignerWindow& w = start();
    for (const Speed& s : speeds) {
        SCOPED_TRACE(s.caption);
        QPushButton* b = w.*s.button;
        EXPECT_EQ(b->text(), QString::fromUtf8(s.caption));

        // Running: the new interval counts afresh from the press.
        w.Timer1->setInterval(s.intervalMs == 6000 ? 1000 : 6000);
        b->click();
        EXPECT_TRUE(w.Timer1->isActive());
        EXPECT_EQ(w.Timer1->interval(), s.intervalMs);
        EXPECT_GE(w.Timer1->remainingTime(), s.intervalMs - 100);

        // Paused: nothing starts; resuming uses the new interval.
        w.Check2->click();
        w.Command5->click();
        b->click();
        EXPECT_FALSE(w.Timer1->isActive());
        EXPECT_EQ(w.Timer1->interval(), s.intervalMs);
        w.Check2->click();
        EXPECT_TRUE(w.Timer1->isActive());
        EXPECT_EQ(w.Timer1->interval(), s.intervalMs);
    }
    EXPECT_TRUE(w.Label11->text().isEmpty()) << "no button ran a tick";
}

// Timer1 firing: the tick waits in the program's queue until the event loop comes round.
static void fire(DesignerWindow& w) { ASSERT_TRUE(QMetaObject::invokeMethod(w.Timer1, "timeout")); }

TEST_F(DesignerTest, ADueTickWaitsItsTurnAndIsDroppedByPauseSpeedOrClose)
{
    TickQueue& queue = ticks;
    start().categoryButton(2)->click(); // Form2 shown, the others created
    DesignerWindow& f1 = window(1);
    DesignerWindow& f2 = window(2);
    DesignerWindow& f3 = window(3);

    fire(f1);
    fire(f2);
    fire(f1); // still waiting: not twice
    EXPECT_EQ(queue.waiting(), 2u);
    EXPECT_TRUE(f1.Label11->text().isEmpty()) << "firing only asks for the tick";
    EXPECT_TRUE(queue.runOne());
    EXPECT_EQ(f1.Label11->text(), QStringLiteral("1"));
    EXPECT_TRUE(f2.Label11->text().isEmpty()) << "one tick per turn";
    EXPECT_TRUE(queue.runOne());
    EXPECT_EQ(f2.Label11->text(), QStringLiteral("1"));

    fire(f1);
    f1.Check2->click(); // pause: no call after the timer is disabled
    fire(f2);
    f2.Command5->click(); // a new interval counts afresh
    fire(f3);
    f3.close();
    EXPECT_FALSE(queue.runOne());
    EXPECT_EQ(designerForm(1).DesignCount, 1);
    EXPECT_EQ(designerForm(2).DesignCount, 1);
    EXPECT_EQ(designerForm(3).DesignCount, 0);
}

TEST_F(DesignerTest, RunStateAndTextsBelongToEachWindow)
{
    start().categoryButton(4)->click(); // "4"
    DesignerWindow& f4 = window(4);
    f4.Timer1_Timer();
    f4.Check2->click(); // paused
    const QImage pattern = f4.canvas().Image();
    f4.Command12_Click();        // "5": switch away ...
    window(5).Command6->click(); // Form5 at 高速
    window(2).Text3->setText(QStringLiteral("只属于第二大类"));
    window(5).categoryButton(7)->click(); // "7"
    window(7).categoryButton(4)->click(); // ... and back to "4"

    EXPECT_TRUE(f4.isVisible());
    EXPECT_FALSE(f4.Check2->isChecked());
    EXPECT_EQ(f4.Check2->text(), QStringLiteral("播放"));
    EXPECT_FALSE(f4.Timer1->isActive());
    EXPECT_EQ(f4.canvas().persistentImage(), pattern);
    EXPECT_EQ(f4.Label11->text(), QStringLiteral("1"));
    for (int k = 1; k <= 10; ++k) {
        if (k == 4)
            continue;
        SCOPED_TRACE(k);
        EXPECT_TRUE(window(k).Timer1->isActive()) << "hidden windows keep generating";
        EXPECT_EQ(window(k).Timer1->interval(), k == 5 ? 1 : 3000);
        EXPECT_EQ(window(k).tickInputs().text3,
                  k == 2 ? QStringLiteral("只属于第二大类") : QStringLiteral("世界顶级美术图案作品"));
    }
}

TEST_F(DesignerTest, AClosedPausedSlowWindowComesBackRunningAtTheStartIntervalWithItsCount)
{
    start().categoryButton(9)->click(); // "9"
    DesignerWindow& f9 = window(9);
    for (int i = 0; i < 4; ++i)
        f9.Timer1_Timer();
    f9.Command7->click();
    f9.Check2->click();
    f9.close();
    window(1).categoryButton(9)->click();
    DesignerWindow& again = window(9);
    EXPECT_TRUE(again.Timer1->isActive());
    EXPECT_EQ(again.Timer1->interval(), 3000);
    again.Timer1_Timer();
    EXPECT_EQ(again.Label11->text(), QStringLiteral("5"));
}

TEST_F(DesignerTest, AllWindowsDrawFromTheOneSourceInTheOrderTheyTick)
{
    start().categoryButton(2)->click();
    RandomSource& shared = random;
    shared.setState(RandomSource::kStartState);

    window(1).Timer1_Timer();
    window(2).Timer1_Timer();
    RandomSource expected;
    for (int i = 0; i < category(1).drawsPerTick() + category(2).drawsPerTick(); ++i)
        expected.next();
    EXPECT_EQ(shared.state(), expected.state());

    // Form2's pattern is the one its tick makes from where Form1 left the source.
    RandomSource replay;
    for (int i = 0; i < category(1).drawsPerTick(); ++i)
        replay.next();
    Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    std::int32_t count = 0;
    runGenerationTick(canvas, replay, category(2), count, defaultTickInputs(category(2)));
    EXPECT_EQ(window(2).canvas().persistentImage(), canvas.persistentImage());
}

TEST_F(DesignerTest, TheCountStopsAtItsLargestValue)
{
    DesignerWindow& w = start();
    designerForm(1).DesignCount = std::numeric_limits<std::int32_t>::max() - 1;
    w.Timer1_Timer();
    w.Timer1_Timer();
    EXPECT_EQ(w.Label11->text(), QStringLiteral("2147483647"));
    EXPECT_TRUE(w.Timer1->isActive()) << "a failing statement never stops the timer";
}

TEST_F(DesignerTest, AWindowUsesOnlyTheServicesItWasMadeWith)
{
    // A second program in the same process: its own registry, queue, gate, source and boxes.
    test::TestServices other;
    registerDesignerWindows(other.services);
    DesignerWindow& mine = start();
    DesignerWindow& theirs = zovex::designerForm(other.registry, 1).window();
    ASSERT_NE(&mine, &theirs);

    // Each tick draws from its own program's source.
    mine.Timer1_Timer();
    EXPECT_NE(random.state(), RandomSource::kStartState);
    EXPECT_EQ(other.random.state(), RandomSource::kStartState);

    // Each window's ticks wait in its own program's queue and answer to its own gate.
    ASSERT_TRUE(QMetaObject::invokeMethod(theirs.Timer1, "timeout"));
    EXPECT_EQ(ticks.waiting(), 0u);
    EXPECT_EQ(other.ticks.waiting(), 1u);
    const TickHold held(gate);
    const std::uint32_t before = other.random.state();
    EXPECT_TRUE(other.ticks.runOne());
    EXPECT_NE(other.random.state(), before) << "another program's gate does not hold this one's ticks";
    const QString count = mine.Label11->text();
    mine.Timer1_Timer();
    EXPECT_EQ(mine.Label11->text(), count) << "its own gate does";
    other.registry.clear();
}
