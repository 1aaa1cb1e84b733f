#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace quillon::test {

// Runs `act` on the next modal window that opens (a message box, a file dialog, Port Setup),
// from inside that window's own event loop. `act` must close the window. A window that does
// not open within five seconds fails the test.
inline void WhenModal(std::function<void(QWidget*)> act)
{
    constexpr qint64 kPatienceMs = 5000;
    QPointer<QWidget> before = QApplication::activeModalWidget();
    auto* poll = new QTimer;
    poll->setInterval(5);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [poll, before, clock, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == before.data() || !modal->isVisible()) {
            if (clock->elapsed() > kPatienceMs) {
                poll->stop();
                poll->deleteLater();
                ADD_FAILURE() << "no modal window opened";
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start();
}

} // namespace quillon::test
