#include "common_dialog.h"
#include "scripted_platform.h"

#include <gtest/gtest.h>

using namespace zovex;

TEST(CommonDialog, FilterEntriesBecomeQtNameFilters)
{
    EXPECT_EQ(parseDialogFilter(QStringLiteral("位图文件 (*.Bmp)|*.Bmp")),
              QStringList{QStringLiteral("位图文件 (*.Bmp)")});
    EXPECT_EQ(parseDialogFilter(QStringLiteral(
                  "All Files (*.*)|*.*|JPG Files (*.jpg)|*.jpg|GIF Files (*.gif)|*.gif|BMP Files (*.bmp)|*.bmp")),
              (QStringList{QStringLiteral("All Files (*.*)"), QStringLiteral("JPG Files (*.jpg)"),
                           QStringLiteral("GIF Files (*.gif)"), QStringLiteral("BMP Files (*.bmp)")}));
    EXPECT_EQ(parseDialogFilter(QStringLiteral("位图文件(*.bmp)|*.bmp")),
              QStringList{QStringLiteral("位图文件(*.bmp)")});
    EXPECT_EQ(parseDialogFilter(QStringLiteral("Pictures|*.bmp;*.png")),
              QStringList{QStringLiteral("Pictures (*.bmp *.png)")});
    EXPECT_TRUE(parseDialogFilter(QString()).isEmpty());
}

TEST(CommonDialog, KeepsItsFileNameAcrossUsesAndOnCancel)
{
    test::ScriptedFileDialog backend;
    CommonDialog dlg(&backend);
    backend.answers = {QStringLiteral("/tmp/a.bmp"), test::kCancel};
    EXPECT_TRUE(dlg.ShowSave(nullptr));
    EXPECT_EQ(dlg.FileName, QStringLiteral("/tmp/a.bmp"));
    EXPECT_FALSE(dlg.ShowSave(nullptr));
    EXPECT_EQ(dlg.FileName, QStringLiteral("/tmp/a.bmp"));
    ASSERT_EQ(backend.requests.size(), 2u);
    EXPECT_EQ(backend.requests[1].fileName, QStringLiteral("/tmp/a.bmp")); // offered again
    EXPECT_EQ(backend.requests[1].mode, DialogMode::Save);

    dlg.CancelError = true;
    EXPECT_THROW(dlg.ShowOpen(nullptr), DialogCancelled);
    EXPECT_EQ(dlg.FileName, QStringLiteral("/tmp/a.bmp"));
}
