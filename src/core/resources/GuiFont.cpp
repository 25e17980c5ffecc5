#include "core/resources/GuiFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>

#include <cstdlib>

namespace {

// The font's place among the program's resources.
constexpr char kFontResource[] = ":/tabrine/fonts/DejaVuSans.ttf";

} // namespace

QFont GuiFont(bool* ok)
{
    // Loaded once per run; a failed load is not retried.
    static const bool loaded = QFontDatabase::addApplicationFont(QString::fromLatin1(kFontResource)) >= 0;
    if (ok)
        *ok = loaded;
    QFont font(QString::fromLatin1(kGuiFontFamily));
    font.setPixelSize(kGuiFontPixelSize);
    font.setStyleHint(QFont::SansSerif);
    // Whole-pixel metrics, so dialog units convert the same on every screen.
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void InstallGuiFont()
{
    QGuiApplication::setFont(GuiFont());
}

DialogBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.ascent() + metrics.descent()};
}

DialogBaseUnits GuiBaseUnits()
{
    return BaseUnitsOf(GuiFont());
}

int MulDivRound(int value, int numerator, int denominator)
{
    if (denominator == 0)
        return 0;
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = std::llabs(static_cast<long long>(denominator)) / 2;
    const bool negative = (product < 0) != (denominator < 0);
    const long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(denominator));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QRect DialogUnitsToPixels(const QRect& units, const DialogBaseUnits& base)
{
    return QRect(MulDivRound(units.x(), base.averageCharWidth, 4), MulDivRound(units.y(), base.height, 8),
                 MulDivRound(units.width(), base.averageCharWidth, 4), MulDivRound(units.height(), base.height, 8));
}

QSize DialogUnitsToPixels(const QSize& units, const DialogBaseUnits& base)
{
    return QSize(MulDivRound(units.width(), base.averageCharWidth, 4), MulDivRound(units.height(), base.height, 8));
}
