#include "designer_fixture.h"
#include "wallpaper_window.h"
#include "app_windows.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace zovex;

namespace {

class WallpaperAccessTest : public test::DesignerTest {
protected:
    void SetUp() override
    {
        DesignerTest::SetUp();
        registerWallpaperWindow();
    }
    void TearDown() override
    {
        setWallpaperAccess(WallpaperAccess::Hidden);
        DesignerTest::TearDown();
    }
};

TEST_F(WallpaperAccessTest, HiddenUnlessAskedThenOpensTheWallpaperWindowOwnedByForm1)
{
    DesignerWindow& hidden = start();
    ASSERT_NE(hidden.Command19, nullptr);
    EXPECT_FALSE(hidden.Command19->isVisible());
    hidden.close();
    flushDeletes();

    setWallpaperAccess(WallpaperAccess::Shown);
    DesignerWindow& form1 = start();
    EXPECT_TRUE(form1.Command19->isVisible());
    EXPECT_EQ(form1.Command19->text(), QStringLiteral("高速排版"));
    form1.Command19->click();
    Form30& wallpaper = wallpaperWindow();
    EXPECT_TRUE(wallpaper.isVisible());
    EXPECT_EQ(WindowRegistry::instance().form(WindowKind::Form30).owner(), &form1);
    EXPECT_TRUE(form1.isVisible()); // modeless: Form1 stays

    // 退出 hides the wallpaper window and brings Form1 up; the next 高速排版 shows the same one.
    wallpaper.Text1->setText(QStringLiteral("20000"));
    wallpaper.mnuFileExit->trigger();
    EXPECT_FALSE(wallpaper.isVisible());
    form1.Command19->click();
    EXPECT_EQ(&wallpaperWindow(), &wallpaper);
    EXPECT_EQ(wallpaper.Text1->text(), QStringLiteral("20000"));
}

} // namespace
