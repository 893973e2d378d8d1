// The capture window as the designer windows reach it: "剪裁抓图" of any designer window shows
// it owned by Form1, and a selection holds every designer window's ticks.
#include "designer_fixture.h"
#include "capture_window.h"
#include "tick_gate.h"
#include "app_windows.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

using namespace zovex;

namespace {

class CaptureWiringTest : public test::DesignerTest {
protected:
    void SetUp() override
    {
        DesignerTest::SetUp();
        registerCaptureWindow(services);
        QImage screen(640, 480, QImage::Format_RGB32);
        screen.fill(Qt::darkCyan);
        desktop.screen.shown = {screen, {}};
    }
};

} // namespace

TEST_F(CaptureWiringTest, Command18OfAnyDesignerWindowShowsForm20OwnedByForm1)
{
    designerForm(1).Show();
    designerForm(7).Show();
    DesignerWindow& form7 = designerForm(7).window();
    form7.Command18_Click();
    ASSERT_TRUE(registry.isLoaded(WindowKind::Form20));
    Form20& capture = registry.as<CaptureForm>(WindowKind::Form20).window();
    EXPECT_TRUE(capture.isVisible());
    EXPECT_EQ(capture.parentWidget(), nullptr) << "a window of its own, not a child of Form1";
    EXPECT_EQ(registry.form(WindowKind::Form20).owner(), &designerForm(1).widget());
    ASSERT_NE(capture.windowHandle(), nullptr);
    EXPECT_EQ(capture.windowHandle()->transientParent(), designerForm(1).widget().windowHandle());
    EXPECT_TRUE(capture.isWindow());
    EXPECT_TRUE(form7.isVisible());
    EXPECT_TRUE(form7.Timer1->isActive());

    // A second press brings the same window back.
    capture.hide();
    designerForm(1).window().Command18_Click();
    EXPECT_EQ(&registry.as<CaptureForm>(WindowKind::Form20).window(), &capture);
    EXPECT_TRUE(capture.isVisible());
}

TEST_F(CaptureWiringTest, TicksFallingDuringASelectionAreDropped)
{
    designerForm(1).Show();
    DesignerWindow& form1 = designerForm(1).window();
    form1.Timer1_Timer();
    ASSERT_EQ(designerForm(1).DesignCount, 1);

    Form20& capture = registry.as<CaptureForm>(WindowKind::Form20).window();
    capture.show();
    capture.mnuFileSnap->trigger();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 40), capture.mapToGlobal(QPointF(10, 40)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&capture, &press);
    ASSERT_TRUE(gate.isHeld());
    const QImage canvasBefore = form1.canvas().persistentImage().copy();
    for (int i = 0; i < 5; ++i)
        form1.Timer1_Timer();
    EXPECT_EQ(designerForm(1).DesignCount, 1);
    EXPECT_EQ(form1.canvas().persistentImage(), canvasBefore);

    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 40), capture.mapToGlobal(QPointF(10, 40)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&capture, &release);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(gate.isHeld());
    form1.Timer1_Timer();
    EXPECT_EQ(designerForm(1).DesignCount, 2) << "resumes without catching up";
}
