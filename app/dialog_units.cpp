#include "app/dialog_units.h"

#include <algorithm>

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QWidget>

namespace quillon {

namespace {

constexpr int kAlphabetLetters = 52;
// A line edit keeps two pixels free on either side of its text and one for the cursor.
constexpr int kLineEditTextMargins = 2 * 2 + 1;
// A combo box without an edit field draws its text one pixel in from either side.
constexpr int kComboLabelMargins = 2;
// Widening rounds in which the placing of the controls may still settle.
constexpr int kFittingRounds = 8;

bool Fits(const FittedText& fitted)
{
    return TextWidth(*fitted.control, fitted.text) <= TextRoom(*fitted.control);
}

} // namespace

DialogUnits::DialogUnits(int avgCharWidth, int charHeight)
    : m_xBase((avgCharWidth > 0 ? avgCharWidth : 1) * kXBaseSteps),
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

DialogUnits DialogUnits::WidenedTo(int xBase) const
{
    DialogUnits wider = *this;
    wider.m_xBase = std::max(m_xBase, xBase);
    return wider;
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

int TextRoom(const QWidget& control)
{
    const QStyle* style = control.style();
    if (qobject_cast<const QAbstractButton*>(&control) != nullptr) {
        const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &control);
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &control);
        return control.width() - 2 * (margin + frame);
    }
    if (const auto* label = qobject_cast<const QLabel*>(&control))
        return label->contentsRect().width() - 2 * label->margin();
    if (const auto* combo = qobject_cast<const QComboBox*>(&control)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, combo);
        return field.width() - (combo->isEditable() ? kLineEditTextMargins : kComboLabelMargins);
    }
    return control.contentsRect().width();
}

int TextWidth(const QWidget& control, const QString& text)
{
    QString shown = text;
    if (qobject_cast<const QAbstractButton*>(&control) != nullptr) {
        // "&&" shows one ampersand; a single one marks the mnemonic and is not drawn.
        shown.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
        shown.remove(QLatin1Char('&'));
        shown.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    }
    return control.fontMetrics().horizontalAdvance(shown);
}

DialogUnits PlaceFitting(DialogUnits units,
                         const std::function<void(const DialogUnits&)>& place,
                         std::span<const FittedText> texts)
{
    place(units);
    for (int round = 0; round < kFittingRounds; ++round) {
        int xBase = units.XBase();
        for (const FittedText& fitted : texts) {
            if (fitted.templateWidth <= 0 || Fits(fitted))
                continue;
            // The margins around the text stay as they are when the control grows. Mapping
            // both corners may lose a pixel of the width, hence one more.
            const QWidget& control = *fitted.control;
            const int margins = control.width() - TextRoom(control);
            const int wanted = TextWidth(control, fitted.text) + margins + 1;
            const int steps = 4 * DialogUnits::kXBaseSteps;
            const int enough = (wanted * steps + fitted.templateWidth - 1) / fitted.templateWidth;
            xBase = std::max({xBase, enough, units.XBase() + 1});
        }
        if (xBase == units.XBase())
            return units;
        units = units.WidenedTo(xBase);
        place(units);
    }
    return units;
}

} // namespace quillon
