#include "category.h"

#include <stdexcept>

namespace zovex {

namespace {
constexpr std::int32_t kRings1[] = {10000, 8000, 6000, 4000, 2000, 1000, 500};
constexpr std::int32_t kRings2[] = {10000, 8000, 1000, 500};
constexpr std::int32_t kRings3[] = {10000, 6000, 1000, 500};
constexpr std::int32_t kRings4[] = {10000, 4000, 1000, 500};
constexpr std::int32_t kRings5[] = {10000, 2000, 1000, 500};
constexpr std::int32_t kRings6[] = {8000, 6000, 4000, 2000, 1000, 500};
constexpr std::int32_t kRings7[] = {6000, 4000, 2000, 1000, 500};
constexpr std::int32_t kRings8[] = {4000, 2000, 1000, 500};
constexpr std::int32_t kRings9[] = {2000, 1000, 500};
constexpr std::int32_t kRings10[] = {10000, 1000, 500};
} // namespace

const std::array<Category, 10>& categories()
{
    static const std::array<Category, 10> table = {{
        {1, kRings1, 30.0f, "90", "8"},
        {2, kRings2, 20.0f, "90", "5"},
        {3, kRings3, 20.0f, "90", "5"},
        {4, kRings4, 20.0f, "90", "5"},
        {5, kRings5, 20.0f, "90", "5"},
        {6, kRings6, 20.0f, "90", "5", kButtonFaceColour},
        {7, kRings7, 20.0f, "90", "5"},
        {8, kRings8, 20.0f, "90", "5"},
        {9, kRings9, 20.0f, "20", "5"},
        {10, kRings10, 20.0f, "12", "5"},
    }};
    return table;
}

const Category& category(int k)
{
    if (k < 1 || k > 10)
        throw std::out_of_range("category must be 1 to 10");
    return categories()[static_cast<std::size_t>(k - 1)];
}

const QStringList& lineWidthItems()
{
    static const QStringList items = {
        QStringLiteral("2"),  QStringLiteral("3"),  QStringLiteral("4"),  QStringLiteral("5"),  QStringLiteral("6"),
        QStringLiteral("7"),  QStringLiteral("8"),  QStringLiteral("9"),  QStringLiteral("10"), QStringLiteral("11"),
        QStringLiteral("12"), QStringLiteral("13"), QStringLiteral("14"), QStringLiteral("15"), QStringLiteral("16"),
        QStringLiteral("17"), QStringLiteral("18"), QStringLiteral("19"), QStringLiteral("20"), QStringLiteral("30"),
        QStringLiteral("40"), QStringLiteral("50"), QStringLiteral("60"), QStringLiteral("70"), QStringLiteral("80"),
        QStringLiteral("90"),
    };
    return items;
}

const QStringList& drawModeItems()
{
    static const QStringList items = {
        QStringLiteral("0"),  QStringLiteral("1"),  QStringLiteral("2"),  QStringLiteral("3"),
        QStringLiteral("4"),  QStringLiteral("5"),  QStringLiteral("6"),  QStringLiteral("7"),
        QStringLiteral("8"),  QStringLiteral("9"),  QStringLiteral("10"), QStringLiteral("12"),
        QStringLiteral("13"), QStringLiteral("14"), QStringLiteral("15"), QStringLiteral("16"),
    };
    return items;
}

} // namespace zovex
