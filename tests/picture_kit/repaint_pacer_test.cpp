// RepaintPacer: at most one repaint per frame of the screen, the newest picture shown within a
// frame, a slow window repainted at once. Driven by the test's own clock.
#include "repaint_pacer.h"

#include <QWidget>

#include <gtest/gtest.h>

using namespace zovex;

TEST(RepaintPacer, RepaintsAtOnceOrOnceAtTheNextFrame)
{
    QWidget window;
    qint64 now = 1000;
    int repaints = 0;
    RepaintPacer pacer(
        window, [&] { ++repaints; }, [&] { return now; });
    const qint64 frame = pacer.frameMs();
    ASSERT_GE(frame, 2);
    ASSERT_LE(frame, 50);

    pacer.request();
    EXPECT_EQ(repaints, 1) << "the first picture is shown at once";
    EXPECT_FALSE(pacer.isPending());

    // Pictures faster than the screen: none painted within the frame, one repaint waits.
    for (int i = 0; i < 20; ++i)
        pacer.request(); // a thousand patterns a second: all within the same frame
    EXPECT_EQ(repaints, 1);
    EXPECT_TRUE(pacer.isPending());
    now += frame;
    pacer.repaintPending(); // the frame timer's call
    EXPECT_EQ(repaints, 2) << "one repaint shows the newest of them";
    EXPECT_FALSE(pacer.isPending());
    pacer.repaintPending();
    EXPECT_EQ(repaints, 2) << "nothing waits: nothing more is painted";

    // A slow window: every picture at once.
    for (int i = 0; i < 5; ++i) {
        now += 1000;
        pacer.request();
        EXPECT_EQ(repaints, 3 + i);
        EXPECT_FALSE(pacer.isPending());
    }
    // Exactly one frame after the last repaint counts as the next frame.
    now += frame - 1;
    pacer.request();
    EXPECT_TRUE(pacer.isPending());
    now += 1;
    pacer.repaintPending();
    EXPECT_EQ(repaints, 8);
    now += frame;
    pacer.request();
    EXPECT_EQ(repaints, 9);
}
