// The real program on a real X server, started with --wallpaper: Form1 shows "高速排版", which
// maps the wallpaper window owned by Form1; its canvas shows the default tile repeated from its
// top-left corner; an xdotool drag moves the canvas by the pointer's offset; "新建" brings it
// back to (0, 510); "保存" writes the whole canvas, far larger than the screen.
// The test starts its own Xvfb and stops it and the program afterwards, whatever the outcome.
#include "wallpaper_tiles.h"
#include "x_session.h"

#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <optional>

using namespace zovex;
using namespace zovex::test;

namespace {

constexpr int kStartMs = 30000;
const QString kDesignerTitle = QStringLiteral("^ZovexTessaly5\\.0\\(Quenda\\)$");
const QString kWallpaperTitle = QStringLiteral("^Zovex豪华壁纸高速排版器$");
constexpr QRgb kToolbar = 0xFFD7157B; // RGB(215, 21, 123)
constexpr int kBlock = 48;            // side of the tile's corner block looked for on screen

// Whether the screen shows the default tile's top-left block with its corner at `at`.
bool tileCornerAt(const QImage& screen, const QImage& tile, QPoint at)
{
    if (!screen.rect().contains(QRect(at, QSize(kBlock, kBlock))))
        return false;
    for (int y = 0; y < kBlock; ++y)
        for (int x = 0; x < kBlock; ++x)
            if ((screen.pixel(at.x() + x, at.y() + y) & 0xFFFFFF) != (tile.pixel(x, y) & 0xFFFFFF))
                return false;
    return true;
}

} // namespace

TEST(WallpaperEndToEnd, OpenedFromForm1TiledDraggedRenewedAndSavedWhole)
{
    const QImage tile = defaultTilePicture();
    ASSERT_EQ(tile.size(), QSize(382, 383));

    ProgramCopy program;
    XSession desk(QStringLiteral("1920x1080x24"), kStartMs);
    ProcessGuard app;
    const QString started =
        startProgram(QStringLiteral(ZOVEX_APP_BINARY), program, desk, app, {QStringLiteral("--wallpaper")});
    ASSERT_TRUE(started.isEmpty()) << started.toStdString();

    const QByteArray form1 = desk.waitPastLogin(kDesignerTitle, "Form1");
    ASSERT_FALSE(form1.isEmpty()) << "Form1 was not mapped";
    const std::optional<QRect> g1 = desk.geometry(form1);
    ASSERT_TRUE(g1);

    // "高速排版" (Command19) at its twip position in Form1.
    ASSERT_TRUE(desk.click(onScreen(*g1, 20010, 5040, 1245, 375).center()));
    QByteArray form30;
    ASSERT_TRUE(within(10000, [&] {
        form30 = desk.mappedWindow(kWallpaperTitle, "Form30");
        return !form30.isEmpty();
    })) << "高速排版 did not map the wallpaper window";
    EXPECT_EQ(desk.transientFor(form30), form1.toULongLong()) << "the wallpaper window is owned by Form1";
    EXPECT_FALSE(desk.mappedWindow(kDesignerTitle, "Form1").isEmpty()) << "Form1 stays on screen";
    const std::optional<QRect> g30 = desk.geometry(form30);
    ASSERT_TRUE(g30);

    // The toolbar starts below the menu bar; the canvas 480 twips (32 pixels) below its top,
    // its interior 2 pixels inside the border.
    QImage screen = desk.screenshot();
    ASSERT_FALSE(screen.isNull());
    int toolbarTop = -1;
    for (int y = g30->y(); y < g30->y() + 80 && toolbarTop < 0; ++y)
        if (screen.pixel(g30->x() + 700, y) == kToolbar)
            toolbarTop = y;
    ASSERT_GE(toolbarTop, 0) << "no toolbar in RGB(215, 21, 123)";
    const QPoint canvasAt(g30->x() + 2, toolbarTop + 32 + 2);
    QImage shot;
    ASSERT_TRUE(within(5000, [&] {
        shot = desk.screenshot();
        return tileCornerAt(shot, tile, canvasAt);
    })) << "the default tile is not at the canvas's top-left corner";
    EXPECT_TRUE(tileCornerAt(shot, tile, canvasAt + QPoint(382, 0)));
    EXPECT_TRUE(tileCornerAt(shot, tile, canvasAt + QPoint(0, 383)));
    EXPECT_TRUE(tileCornerAt(shot, tile, canvasAt + QPoint(3 * 382, 383)));

    // Drag the canvas by (-150, -100): the corner of the cell at (764, 766) follows the pointer.
    const QPoint grab = canvasAt + QPoint(600, 500);
    const QPoint drop = grab + QPoint(-150, -100);
    ASSERT_EQ(desk.xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(grab.x()),
                            QString::number(grab.y()), QStringLiteral("mousedown"), QStringLiteral("1")})
                  .exitCode,
              0);
    ASSERT_EQ(desk.xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(grab.x() - 70),
                            QString::number(grab.y() - 40), QStringLiteral("mousemove"), QStringLiteral("--sync"),
                            QString::number(drop.x()), QString::number(drop.y()), QStringLiteral("mouseup"),
                            QStringLiteral("1")})
                  .exitCode,
              0);
    const QPoint moved = canvasAt + QPoint(-150, -100);
    ASSERT_TRUE(within(5000, [&] {
        shot = desk.screenshot();
        return tileCornerAt(shot, tile, moved + QPoint(2 * 382, 2 * 383));
    })) << "the canvas did not move by the pointer's offset";
    EXPECT_FALSE(tileCornerAt(shot, tile, canvasAt + QPoint(2 * 382, 2 * 383)));

    // "新建" puts a 16000 x 11000-twip canvas at (0, 510): 2 pixels lower than designed.
    ASSERT_TRUE(desk.click(QPoint(g30->x() + 17, toolbarTop + 17)));
    const QPoint renewed(g30->x() + 2, toolbarTop + 34 + 2);
    ASSERT_TRUE(within(5000, [&] {
        shot = desk.screenshot();
        return tileCornerAt(shot, tile, renewed) && tileCornerAt(shot, tile, renewed + QPoint(382, 383));
    })) << "新建 did not bring the canvas back to (0, 510)";

    // "保存": the file dialog takes a name, the whole canvas (1063 x 729) is written.
    const QString saved = program.path() + QStringLiteral(".wall.bmp");
    ASSERT_TRUE(desk.click(QPoint(g30->x() + (1050 + 247) / 15, toolbarTop + 17)));
    QByteArray dialog;
    ASSERT_TRUE(within(10000, [&] {
        for (const QByteArray& w : desk.visibleWindows(QStringLiteral(".+")))
            if (w != form1 && w != form30 && desk.geometry(w).value_or(QRect()).width() > 200)
                dialog = w;
        return !dialog.isEmpty();
    })) << "保存 showed no file dialog";
    desk.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::fromLatin1(dialog)});
    desk.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), saved});
    desk.xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("Return")});
    const qint64 bmpBytes = 54 + qint64((1063 * 3 + 3) / 4 * 4) * 729;
    ASSERT_TRUE(within(10000, [&] { return QFileInfo(saved).size() == bmpBytes; }))
        << "保存 did not write the whole canvas to " << saved.toStdString();
    const QImage file(saved);
    ASSERT_EQ(file.size(), QSize(1063, 729));
    EXPECT_EQ(file.pixel(0, 0), tile.pixel(0, 0));
    EXPECT_EQ(file.pixel(382 + 5, 383 + 7), tile.pixel(5, 7));
    EXPECT_EQ(file.pixel(1062, 728), tile.pixel(1062 - 764, 728 - 383));
    EXPECT_EQ(app.process->state(), QProcess::Running);
}
