#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace quillon {

// Dialog templates place controls in dialog units: a quarter of the dialog font's average
// character width across and an eighth of its character height down.
class DialogUnits
{
public:
    DialogUnits(int avgCharWidth, int charHeight);
    // Measures the font: the average width is that of "A".."Z" and "a".."z" over 52, rounded.
    [[nodiscard]] static DialogUnits FromFont(const QFont& font);

    [[nodiscard]] int X(int units) const { return units * m_avgCharWidth / 4; }
    [[nodiscard]] int Y(int units) const { return units * m_charHeight / 8; }
    [[nodiscard]] QRect Rect(int x, int y, int width, int height) const;
    [[nodiscard]] QSize Size(int width, int height) const;
    [[nodiscard]] int AvgCharWidth() const { return m_avgCharWidth; }
    [[nodiscard]] int CharHeight() const { return m_charHeight; }

private:
    int m_avgCharWidth;
    int m_charHeight;
};

} // namespace quillon
