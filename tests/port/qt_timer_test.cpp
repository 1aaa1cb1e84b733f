#include <gtest/gtest.h>
#include <vector>

#include <QCoreApplication>

#include "port/qt_timer.h"
#include "qt_app.h"

namespace quillon::test {
namespace {

// Zero-period timers fire on every pass of the event loop, so ticks come without waiting.
constexpr int kPasses = 20;

class QtTimerTicks : public ::testing::Test
{
protected:
    void SetUp() override { EnsureCoreApplication(); }
    // Runs the event loop until `count` more ticks came, or a bounded number of passes.
    void RunUntil(std::size_t count)
    {
        for (int pass = 0; pass < kPasses && ticks.size() < count; ++pass)
            QCoreApplication::processEvents();
    }
    void RunPasses()
    {
        for (int pass = 0; pass < kPasses; ++pass)
            QCoreApplication::processEvents();
    }

    std::vector<unsigned> ticks;
};

TEST_F(QtTimerTicks, DeliversTheStartedIdentifierUntilStopped)
{
    QtTimer timer([this](unsigned id) { ticks.push_back(id); });
    const unsigned id = timer.Start(1, 0);
    EXPECT_EQ(id, 1u);
    RunUntil(2);
    ASSERT_GE(ticks.size(), 2u);
    for (unsigned tick : ticks)
        EXPECT_EQ(tick, id);

    timer.Stop(id);
    ticks.clear();
    RunPasses();
    EXPECT_TRUE(ticks.empty());
    timer.Stop(7); // unknown identifiers are ignored
}

TEST_F(QtTimerTicks, RestartFromInsideATickReplacesTheTimer)
{
    // As the analysis tick does: stop, work, start again with another period.
    QtTimer* self = nullptr;
    QtTimer timer([&](unsigned id) {
        ticks.push_back(id);
        self->Stop(id);
        if (ticks.size() < 3)
            self->Start(id, 0);
    });
    self = &timer;
    timer.Start(1, 0);
    RunPasses();
    EXPECT_EQ(ticks, (std::vector<unsigned>{1, 1, 1}));
}

TEST_F(QtTimerTicks, DestroyedTimerDeliversNothing)
{
    {
        QtTimer timer([this](unsigned id) { ticks.push_back(id); });
        timer.Start(1, 0);
        timer.Start(2, 0);
    }
    RunPasses();
    EXPECT_TRUE(ticks.empty());
}

} // namespace
} // namespace quillon::test
