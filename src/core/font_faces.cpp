#include "font_faces.h"

#include <QStringList>

#include <algorithm>

#include <mutex>

namespace zovex {

void installFontSubstitutions()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const QStringList sans = {QStringLiteral("Liberation Sans"), QStringLiteral("Noto Sans CJK SC")};
        QFont::insertSubstitutions(QStringLiteral("arial"), sans);
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans);
        QFont::insertSubstitutions(QStringLiteral("宋体"),
                                   {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Liberation Serif")});
    });
}

QFont deviceFont(const QString& face, int pixelHeight, int weight)
{
    installFontSubstitutions();
    QFont f(face);
    f.setPixelSize(std::max(pixelHeight, 1));
    f.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
    f.setKerning(false);
    f.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias));
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QFont controlFont(const QString& face, double points, bool bold)
{
    installFontSubstitutions();
    QFont f(face);
    f.setPixelSize(std::max(1, static_cast<int>(points * 96.0 / 72.0 + 0.5)));
    f.setBold(bold);
    return f;
}

} // namespace zovex
