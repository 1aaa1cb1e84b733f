#pragma once

#include <QCoreApplication>

namespace quillon::test {

// Qt's serial ports, settings and timers need an application object; one lives for the whole
// test program (never destroyed, so it outlasts every static).
inline void EnsureCoreApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char name[] = "quillon_port_tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

} // namespace quillon::test
