#pragma once

#include <functional>
#include <span>

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace quillon {

// Dialog templates place controls in dialog units: a quarter of the dialog font's average
// character width across and an eighth of its character height down. Across, the unit may be
// widened beyond the font's (in sixteenths of a pixel) so that the texts of the controls fit.
class DialogUnits
{
public:
    DialogUnits(int avgCharWidth, int charHeight);
    // Measures the font: the average width is that of "A".."Z" and "a".."z" over 52, rounded.
    [[nodiscard]] static DialogUnits FromFont(const QFont& font);

    [[nodiscard]] int X(int units) const { return units * m_xBase / (4 * kXBaseSteps); }
    [[nodiscard]] int Y(int units) const { return units * m_charHeight / 8; }
    [[nodiscard]] QRect Rect(int x, int y, int width, int height) const;
    [[nodiscard]] QSize Size(int width, int height) const;
    [[nodiscard]] int CharHeight() const { return m_charHeight; }

    // The width of four units across, in sixteenths of a pixel.
    [[nodiscard]] int XBase() const { return m_xBase; }
    // The same units, wider across: `xBase` sixteenths of a pixel for four units.
    [[nodiscard]] DialogUnits WidenedTo(int xBase) const;

    static constexpr int kXBaseSteps = 16;

private:
    int m_xBase;
    int m_charHeight;
};

// A text a control must show whole, and the control's width in the template.
struct FittedText
{
    QWidget* control;
    int templateWidth;
    QString text;
};

// The room a control leaves for its text at its present size, in pixels: a push button's width
// less the margins Qt's own sizing gives its label, a label's contents, a combo box's edit field
// less the margins its text is drawn within.
[[nodiscard]] int TextRoom(const QWidget& control);

// The width of `text` in the control's own font; a button's mnemonic marker takes no room.
[[nodiscard]] int TextWidth(const QWidget& control, const QString& text);

// Places the controls with `place`, then widens the units across, as little as it takes, and
// places them again until every text fits its control. Returns the units the controls now
// stand at. The layout keeps the template's order and relative positions.
[[nodiscard]] DialogUnits PlaceFitting(DialogUnits units,
                                       const std::function<void(const DialogUnits&)>& place,
                                       std::span<const FittedText> texts);

} // namespace quillon
