#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "port/qt_serial_line.h"
#include "portsetup/open_port.h"
#include "portsetup/port_probe.h"

class QComboBox;
class QPushButton;

namespace quillon {

// Finds the ports that can be opened now, given the stored port name.
using PortProbe = std::function<std::vector<std::string>(const std::string& storedPort)>;

// The Port Setup dialog shown on every Go: port, baud rate, parity and stop bits, with only the
// ports present at that moment offered.
class PortSetup : public QDialog, public PortSetupDialog
{
    Q_OBJECT
public:
    // Probes the machine's serial ports.
    explicit PortSetup(QWidget* parent = nullptr);
    PortSetup(PortProbe probe, QWidget* parent);

    // Probes, loads the texts into the combos, and runs the dialog; after OK the texts hold
    // what the combos show (empty for a combo without a selection).
    [[nodiscard]] bool Exec(PortSetupTexts& texts) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    // Places the controls at the template's dialog units, widened where a caption or an entry
    // would not fit.
    void PlaceToFit();
    void Load(const PortSetupChoices& choices);
    [[nodiscard]] PortSetupChoices Current() const;

    QtSerialDeviceLayer m_devices;
    PortProbe m_probe;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QComboBox* m_port = nullptr;
    QComboBox* m_baud = nullptr;
    QComboBox* m_parity = nullptr;
    QComboBox* m_stopBits = nullptr;
};

} // namespace quillon
