#include "designer_description.h"

#include <array>
#include <stdexcept>

namespace zovex {

namespace {

constexpr Visibility H = Visibility::Hidden;
constexpr Visibility S = Visibility::Shown;

const std::array<DesignerDescription, 10> kDescriptions = {{
    {1, "Form1", "Label14", "Label15", 21480, 12990, H, S, WallpaperButton::PresentHidden, 12.0, true},
    {2, "Form2", "Label7", "Label12", 18210, 12990, H, S, WallpaperButton::Absent, 12.0, false},
    {3, "Form3", "Label7", "Label12", 18210, 12990, H, S, WallpaperButton::Absent, 12.0, false},
    {4, "Form4", "Label7", "Label12", 18210, 12990, H, S, WallpaperButton::Absent, 9.0, false},
    {5, "Form5", "Label7", "Label12", 18210, 12990, H, H, WallpaperButton::Absent, 12.0, false},
    {6, "Form6", "Label7", "Label12", 18210, 12990, H, S, WallpaperButton::Absent, 12.0, false},
    {7, "Form7", "Label7", "Label12", 18210, 12990, H, S, WallpaperButton::Absent, 12.0, false},
    {8, "Form8", "Label7", "Label12", 18210, 12990, S, S, WallpaperButton::Absent, 12.0, false},
    {9, "Form9", "Label7", "Label12", 18210, 12990, H, S, WallpaperButton::Absent, 12.0, false},
    {10, "Form10", "Label7", "Label12", 18210, 12990, H, S, WallpaperButton::Absent, 12.0, false},
}};

} // namespace

const DesignerDescription& designerDescription(int k)
{
    if (k < 1 || k > 10)
        throw std::out_of_range("a designer window's category is 1 to 10");
    return kDescriptions[static_cast<std::size_t>(k - 1)];
}

const QString& informationText()
{
    static const QString text =
        QStringList{
            QStringLiteral("图案应用范围"),
            QString(),
            QStringLiteral("1：美术设计"),
            QStringLiteral("2：建筑装饰"),
            QStringLiteral("3：商标图案"),
            QStringLiteral("4：纺织印染"),
            QStringLiteral("5：陶瓷图案"),
            QStringLiteral("6：美术教材"),
            QStringLiteral(" "),
            QString(),
            QString(),
            QString(),
            QStringLiteral("软件简介"),
            QString(),
            QStringLiteral("1：全自动设计几何美术图案。"),
            QStringLiteral("2: 图案应用非常广范。"),
            QStringLiteral("3：设计量相当于几千名设计师工作量。"),
            QStringLiteral("4：图案类形特别繁多。"),
            QStringLiteral("5：是最佳艺术观赏品。"),
            QStringLiteral("6：是最佳美术教材。"),
        }
            .join(QStringLiteral("\r\n"));
    return text;
}

} // namespace zovex
