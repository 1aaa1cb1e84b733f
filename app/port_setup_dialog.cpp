#include "app/port_setup_dialog.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include "app/about_dlg.h"
#include "app/dialog_units.h"
#include "port/system_ports.h"

namespace quillon {

namespace {

constexpr int kSetupWidth = 186;
constexpr int kSetupHeight = 114;

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

QComboBox* MakeCombo(QWidget* parent, const DialogUnits& units, const ComboPlace& place)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(place.objectName));
    combo->setProperty("controlId", place.id);
    const QRect rect = units.Rect(place.x, place.y, place.width, 0);
    combo->setGeometry(rect.x(), rect.y(), rect.width(), combo->sizeHint().height());
    return combo;
}

QPushButton* MakeButton(QWidget* parent,
                        const DialogUnits& units,
                        int id,
                        const char* objectName,
                        const char* text,
                        int y)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setProperty("controlId", id);
    button->setGeometry(units.Rect(129, y, 50, 14));
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
    const DialogUnits units = DialogUnits::FromFont(font());
    m_ok = MakeButton(this, units, 1, "okButton", "OK", 7);
    m_cancel = MakeButton(this, units, 2, "cancelButton", "Cancel", 22);
    m_port = MakeCombo(this, units, kPortCombo);
    m_baud = MakeCombo(this, units, kBaudCombo);
    m_parity = MakeCombo(this, units, kParityCombo);
    m_stopBits = MakeCombo(this, units, kStopBitsCombo);

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
    setFixedSize(units.Size(kSetupWidth, kSetupHeight));
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
    m_ok->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    texts = SavePortSetup(Current());
    return true;
}

void PortSetup::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter presses the focused button; anywhere else it is the dialog's OK command.
        event->accept();
        if (event->isAutoRepeat())
            return;
        if (m_cancel->hasFocus())
            reject();
        else
            accept();
        return;
    case Qt::Key_F1:
        event->accept();
        ShowQuillonHelp(this);
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace quillon
