#include "app/port_setup_dialog.h"

#include <utility>
#include <vector>

#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include "app/dialog_keys.h"
#include "app/dialog_units.h"
#include "app/qt_controls.h"
#include "port/system_ports.h"

namespace quillon {

namespace {

constexpr int kSetupWidth = 186;
constexpr int kSetupHeight = 114;
constexpr int kButtonX = 129;
constexpr int kButtonWidth = 50;

struct ComboPlace
{
    int id;
    const char* objectName;
    int x;
    int y;
    int width;
};

// Template order, which is also the tab order; the heights are those of the open lists.
constexpr ComboPlace kPortCombo{1017, "portCombo", 7, 18, 61};
constexpr ComboPlace kBaudCombo{1018, "baudCombo", 7, 39, 60};
constexpr ComboPlace kParityCombo{1019, "parityCombo", 7, 63, 59};
constexpr ComboPlace kStopBitsCombo{1020, "stopBitsCombo", 99, 64, 67};

QComboBox* MakeCombo(QWidget* parent, const ComboPlace& place)
{
    auto* combo = new WholeEntriesComboBox(parent);
    combo->setObjectName(QString::fromLatin1(place.objectName));
    combo->setProperty("controlId", place.id);
    return combo;
}

void Place(QComboBox& combo, const DialogUnits& units, const ComboPlace& place)
{
    const QRect rect = units.Rect(place.x, place.y, place.width, 0);
    combo.setGeometry(rect.x(), rect.y(), rect.width(), combo.sizeHint().height());
}

QPushButton* MakeButton(QWidget* parent, int id, const char* objectName, const char* text)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setProperty("controlId", id);
    return button;
}

void Fill(QComboBox& combo, const ComboChoice& choice)
{
    combo.clear();
    for (const std::string& item : choice.items)
        combo.addItem(QString::fromStdString(item));
    const bool valid = choice.selection >= 0 && choice.selection < combo.count();
    combo.setCurrentIndex(valid ? choice.selection : -1);
}

ComboChoice Read(const QComboBox& combo)
{
    ComboChoice choice;
    for (int i = 0; i < combo.count(); ++i)
        choice.items.push_back(combo.itemText(i).toStdString());
    choice.selection = combo.currentIndex();
    return choice;
}

} // namespace

PortSetup::PortSetup(QWidget* parent)
    : PortSetup(
          [this](const std::string& storedPort) {
              const std::vector<std::string> candidates = SystemCandidatePortNames(storedPort);
              return ProbePorts(m_devices, candidates);
          },
          parent)
{
}

PortSetup::PortSetup(PortProbe probe, QWidget* parent) : QDialog(parent), m_probe(std::move(probe))
{
    setObjectName(QStringLiteral("portSetup"));
    setWindowTitle(QStringLiteral("Port Setup (F1 for help)"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    BuildControls();
}

void PortSetup::BuildControls()
{
    m_ok = MakeButton(this, 1, "okButton", "OK");
    m_cancel = MakeButton(this, 2, "cancelButton", "Cancel");
    m_port = MakeCombo(this, kPortCombo);
    m_baud = MakeCombo(this, kBaudCombo);
    m_parity = MakeCombo(this, kParityCombo);
    m_stopBits = MakeCombo(this, kStopBitsCombo);

    // Neither button is the default one; the dialog decides what Enter does.
    m_ok->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_port);
    setTabOrder(m_port, m_baud);
    setTabOrder(m_baud, m_parity);
    setTabOrder(m_parity, m_stopBits);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    PlaceToFit();
}

void PortSetup::PlaceToFit()
{
    const auto place = [this](const DialogUnits& units) {
        m_ok->setGeometry(units.Rect(kButtonX, 7, kButtonWidth, 14));
        m_cancel->setGeometry(units.Rect(kButtonX, 22, kButtonWidth, 14));
        Place(*m_port, units, kPortCombo);
        Place(*m_baud, units, kBaudCombo);
        Place(*m_parity, units, kParityCombo);
        Place(*m_stopBits, units, kStopBitsCombo);
        setFixedSize(units.Size(kSetupWidth, kSetupHeight));
    };
    // The buttons' captions and every entry of the combos, as they are filled now.
    std::vector<FittedText> texts{{m_ok, kButtonWidth, m_ok->text()},
                                  {m_cancel, kButtonWidth, m_cancel->text()}};
    const std::pair<QComboBox*, int> combos[] = {{m_port, kPortCombo.width},
                                                 {m_baud, kBaudCombo.width},
                                                 {m_parity, kParityCombo.width},
                                                 {m_stopBits, kStopBitsCombo.width}};
    for (const auto& [combo, width] : combos) {
        for (int i = 0; i < combo->count(); ++i)
            texts.push_back(FittedText{combo, width, combo->itemText(i)});
    }
    const DialogUnits units = PlaceFitting(DialogUnits::FromFont(font()), place, texts);
    setProperty("dialogUnitsXBase", units.XBase());
}

void PortSetup::Load(const PortSetupChoices& choices)
{
    Fill(*m_port, choices.port);
    Fill(*m_baud, choices.baud);
    Fill(*m_parity, choices.parity);
    Fill(*m_stopBits, choices.stopBits);
}

PortSetupChoices PortSetup::Current() const
{
    return PortSetupChoices{Read(*m_port), Read(*m_baud), Read(*m_parity), Read(*m_stopBits)};
}

bool PortSetup::Exec(PortSetupTexts& texts)
{
    Load(PreparePortSetup(texts, m_probe(texts.port)));
    // The ports present now may have longer names than the template's width was made for.
    PlaceToFit();
    m_ok->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    texts = SavePortSetup(Current());
    return true;
}

void PortSetup::keyPressEvent(QKeyEvent* event)
{
    // Enter anywhere but on a button is the dialog's OK.
    if (!TakeDialogKey(*this, *event, [this] { accept(); }))
        QDialog::keyPressEvent(event);
}

} // namespace quillon
