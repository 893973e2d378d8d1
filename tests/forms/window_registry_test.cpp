// The window registry: one object per kind for the whole run, its widget built on first
// reference and gone on close; owners; unloading from inside a handler.
#include "tick_queue.h"
#include "app_windows.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

using namespace zovex;

namespace {

// A window that counts its loadings and can refuse to close.
class CountingWidget final : public QWidget {
public:
    bool refuseClose = false;
    QTimer* timer = new QTimer(this);

protected:
    void closeEvent(QCloseEvent* e) override
    {
        if (refuseClose)
            e->ignore();
        else
            e->accept();
    }
};

struct Counts {
    int loads = 0;
    int unloads = 0;
};

class CountingForm final : public Form {
public:
    explicit CountingForm(Counts& c) : m_counts(c) {}
    int persistent = 0; // a variable of the window object

    CountingWidget& window() { return static_cast<CountingWidget&>(widget()); }

protected:
    std::unique_ptr<QWidget> createWidget() override
    {
        ++m_counts.loads; // stands for Form_Load
        auto w = std::make_unique<CountingWidget>();
        w->timer->start(100000);
        return w;
    }
    void widgetDestroyed() override { ++m_counts.unloads; }

private:
    Counts& m_counts;
};

class WindowRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry = WindowRegistry();
        registry.registerKind(WindowKind::Form20, [this] { return std::make_unique<CountingForm>(counts); });
        registry.registerKind(WindowKind::Form1, [this] { return std::make_unique<CountingForm>(ownerCounts); });
    }
    void TearDown() override
    {
        registry.reset();
        flushDeletes();
    }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    CountingForm& tool() { return registry.as<CountingForm>(WindowKind::Form20); }

    WindowRegistry registry;
    Counts counts;
    Counts ownerCounts;
};

} // namespace

TEST_F(WindowRegistryTest, AWindowIsMadeOnFirstReferenceAndLoadedOnlyWhenNeeded)
{
    EXPECT_FALSE(registry.hasForm(WindowKind::Form20));
    EXPECT_FALSE(registry.isLoaded(WindowKind::Form20));
    EXPECT_FALSE(registry.hasForm(WindowKind::Form20)) << "asking creates nothing";

    CountingForm& f = tool();
    EXPECT_EQ(&tool(), &f) << "one object per kind";
    EXPECT_FALSE(f.isLoaded());
    EXPECT_EQ(counts.loads, 0);

    f.Hide(); // hiding a window that does not exist yet loads it, hidden
    EXPECT_TRUE(f.isLoaded());
    EXPECT_EQ(counts.loads, 1);
    EXPECT_FALSE(f.window().isVisible());
    EXPECT_TRUE(f.window().timer->isActive()) << "its timers run from loading on";

    f.Show();
    EXPECT_TRUE(f.window().isVisible());
    f.Show(); // already visible: brought to the front, not loaded again
    EXPECT_EQ(counts.loads, 1);
    EXPECT_TRUE(f.window().isWindow());

    EXPECT_THROW(registry.form(WindowKind::Form30), std::logic_error);
}

TEST_F(WindowRegistryTest, ClosingUnloadsAtOnceAndTheNextReferenceLoadsAgain)
{
    CountingForm& f = tool();
    f.persistent = 7;
    f.Show();
    QPointer<CountingWidget> first = &f.window();
    QTimer* firstTimer = first->timer;

    EXPECT_TRUE(first->close());
    EXPECT_FALSE(f.isLoaded()) << "closed even though Qt deletes the widget later";
    EXPECT_FALSE(registry.isLoaded(WindowKind::Form20));

    CountingWidget& second = f.window();
    EXPECT_NE(&second, first.data());
    EXPECT_EQ(counts.loads, 2);
    EXPECT_EQ(counts.unloads, 1);
    ASSERT_FALSE(first.isNull());
    EXPECT_FALSE(firstTimer->isActive()) << "a closed window's timers stop";
    EXPECT_FALSE(second.isVisible()) << "touching it does not show it";

    flushDeletes();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(counts.unloads, 1) << "one unload per loading";
    EXPECT_EQ(f.persistent, 7) << "the window object and its variables survive";
}

TEST_F(WindowRegistryTest, AWindowThatRefusesToCloseStaysLoaded)
{
    CountingForm& f = tool();
    f.Show();
    f.window().refuseClose = true;
    CountingWidget* w = &f.window();
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(f.isLoaded());
    EXPECT_EQ(&f.window(), w);
    EXPECT_EQ(counts.loads, 1);
    EXPECT_EQ(counts.unloads, 0);
}

TEST_F(WindowRegistryTest, AnOwnedWindowIsTransientForItsOwnerAndOutlivesIt)
{
    CountingForm& owner = registry.as<CountingForm>(WindowKind::Form1);
    owner.Show();
    CountingForm& f = tool();
    f.Show(&owner.window());
    EXPECT_EQ(f.window().parentWidget(), nullptr) << "a window of its own, not a child";
    EXPECT_TRUE(f.window().isWindow());
    EXPECT_TRUE(f.window().isVisible());
    EXPECT_EQ(f.owner(), &owner.window());
    ASSERT_NE(f.window().windowHandle(), nullptr);
    EXPECT_EQ(f.window().windowHandle()->transientParent(), owner.window().windowHandle())
        << "the desktop keeps it above its owner and minimises it with it";
    // X11 names the owner (WM_TRANSIENT_FOR) of secondary windows only.
    EXPECT_EQ(f.window().windowType(), Qt::Dialog);
    EXPECT_TRUE(f.window().windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    // A control of the owner names the owner's window.
    auto* control = new QPushButton(&owner.window());
    f.Hide();
    f.Show(control);
    EXPECT_EQ(f.owner(), &owner.window());

    // Hidden owner: the owned window can still be shown.
    f.Hide();
    owner.Hide();
    f.Show(&owner.window());
    EXPECT_TRUE(f.window().isVisible());

    // Closing the owner closes only the owner.
    owner.window().close();
    flushDeletes();
    EXPECT_TRUE(f.isLoaded());
    EXPECT_TRUE(f.window().isVisible());
    EXPECT_EQ(counts.unloads, 0);
    EXPECT_EQ(f.owner(), nullptr);

    // Shown again after a hide without an owner, it has none.
    f.Hide();
    f.Show();
    EXPECT_EQ(f.window().windowHandle()->transientParent(), nullptr);
    EXPECT_EQ(f.window().windowType(), Qt::Window);
    EXPECT_EQ(counts.loads, 1);
}

TEST_F(WindowRegistryTest, AMinimisedWindowIsRestoredByShow)
{
    CountingForm& f = tool();
    f.Show();
    f.window().setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
    f.Show();
    EXPECT_FALSE(f.window().windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(f.window().windowState() & Qt::WindowMaximized) << "restored to what it was";
}

TEST_F(WindowRegistryTest, UnloadingDropsTheWindowsWaitingTick)
{
    CountingForm& f = tool();
    f.Show();
    int ticks = 0;
    TickQueue::instance().request(&f.window(), [&] { ++ticks; });
    f.Unload();
    while (TickQueue::instance().runOne()) {
    }
    EXPECT_EQ(ticks, 0);
}

TEST_F(WindowRegistryTest, AWindowCanUnloadItselfFromItsOwnHandler)
{
    CountingForm& f = tool();
    f.Show();
    auto* button = new QPushButton(&f.window());
    QObject::connect(button, &QPushButton::clicked, [&f] { f.Unload(); });
    QPointer<CountingWidget> w = &f.window();
    button->click();
    EXPECT_FALSE(f.isLoaded());
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->timer->isActive());
    EXPECT_EQ(counts.unloads, 1);
    flushDeletes();
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(counts.unloads, 1);
}

TEST_F(WindowRegistryTest, ResetDestroysEveryWindow)
{
    tool().Show();
    QPointer<QWidget> w = &tool().widget();
    registry.reset();
    EXPECT_TRUE(w.isNull());
    EXPECT_FALSE(registry.hasForm(WindowKind::Form20));
    EXPECT_TRUE(registry.hasKind(WindowKind::Form20));
}
