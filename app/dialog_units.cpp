#include "app/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace quillon {

namespace {

constexpr int kAlphabetLetters = 52;

} // namespace

DialogUnits::DialogUnits(int avgCharWidth, int charHeight)
    : m_avgCharWidth(avgCharWidth > 0 ? avgCharWidth : 1),
      m_charHeight(charHeight > 0 ? charHeight : 1)
{
}

DialogUnits DialogUnits::FromFont(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int average = (alphabet + kAlphabetLetters / 2) / kAlphabetLetters;
    return DialogUnits(average, metrics.height());
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const
{
    // Map both corners so neighbouring controls meet exactly as in the template.
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QSize DialogUnits::Size(int width, int height) const
{
    return QSize(X(width), Y(height));
}

} // namespace quillon
