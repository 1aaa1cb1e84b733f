#include <gtest/gtest.h>

#include <QApplication>

#include "gui_test_support.h"

namespace {

// A modal window that a test expected and never saw must not act in a later test.
class ModalWatchSweeper : public ::testing::EmptyTestEventListener
{
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        quillon::test::DropPendingModalWatches();
    }
};

} // namespace

int main(int argc, char** argv)
{
    // Test discovery runs this program while building, where no display may exist.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ModalWatchSweeper);
    return RUN_ALL_TESTS();
}
