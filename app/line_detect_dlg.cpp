#include "app/line_detect_dlg.h"

#include <algorithm>
#include <chrono>
#include <string>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QThread>

#include "monitor/monitor.h"
#include "port/qt_serial_line.h"
#include "port/system_ports.h"
#include "portsetup/line_search.h"

namespace quillon {

namespace {

const QString kTitle = QStringLiteral("Detect Line Settings");
constexpr unsigned long kNapMs = 10;

// Keeps the window's events running between reads, so the progress shows and Cancel works.
class ProgressPacer final : public LineSearchPacer
{
public:
    explicit ProgressPacer(QProgressDialog& progress) : m_progress(progress) {}

    bool Trying(const LineCandidate& candidate, std::size_t tried) override
    {
        m_progress.setLabelText(QStringLiteral("Listening at %1 (setting %2)...")
                                    .arg(QString::fromStdString(candidate.Text()))
                                    .arg(tried + 1));
        QApplication::processEvents();
        return !m_progress.wasCanceled();
    }
    bool Nap() override
    {
        QApplication::processEvents();
        QThread::msleep(kNapMs);
        return !m_progress.wasCanceled();
    }
    [[nodiscard]] std::int64_t NowUs() const override
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

private:
    QProgressDialog& m_progress;
};

} // namespace

void DetectLineSettings(QWidget* parent, Monitor& monitor)
{
    if (monitor.PortOpen()) {
        QMessageBox::information(parent, kTitle,
                                 QStringLiteral("Stop the capture first: the port is in use."));
        return;
    }
    PortSettings settings = monitor.Settings();
    QStringList ports;
    for (const std::string& name : SystemCandidatePortNames(settings.port))
        ports << QString::fromStdString(name);
    bool chosen = false;
    const QString port = QInputDialog::getItem(
        parent, kTitle, QStringLiteral("Listen on port:"), ports,
        std::max(0, static_cast<int>(ports.indexOf(QString::fromStdString(settings.port)))), true,
        &chosen);
    if (!chosen || port.isEmpty())
        return;
    settings.port = port.toStdString();

    QProgressDialog progress(QStringLiteral("Listening..."), QStringLiteral("Cancel"), 0, 0,
                             parent);
    progress.setWindowTitle(kTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.show();
    ProgressPacer pacer(progress);
    QtSerialDeviceLayer devices;
    const LineSearchOutcome outcome = SearchLineSettings(settings, devices, pacer);
    progress.close();
    if (outcome.cancelled)
        return;
    QString notes;
    for (const std::string& note : outcome.notes)
        notes += QStringLiteral("\n") + QString::fromStdString(note);
    if (!outcome.found) {
        QMessageBox::warning(parent, kTitle,
                             QStringLiteral("No line settings found on %1: %2%3")
                                 .arg(port, QString::fromStdString(outcome.summary), notes));
        return;
    }
    monitor.UseLineSettings(outcome.settings);
    QMessageBox::information(
        parent, kTitle,
        QStringLiteral("Line settings on %1: %2\nPort Setup offers them at the next Go.%3")
            .arg(port, QString::fromStdString(outcome.summary), notes));
}

} // namespace quillon
