#include <gtest/gtest.h>

#include "portsetup/mode_string.h"

namespace quillon::test {
namespace {

TEST(ModeString, JoinsTheFieldsWithTheKeywords)
{
    EXPECT_EQ(BuildModeString(PortSettings{}), "COM1: baud=38400 parity=E data=8 stop=1");
    EXPECT_EQ(BuildModeString(PortSettings{"ttyUSB0", "4800", "O", "7", "2"}),
              "ttyUSB0: baud=4800 parity=O data=7 stop=2");
    EXPECT_EQ(BuildModeString(PortSettings{"", "", "", "", ""}), ": baud= parity= data= stop=");
    // Nine-character fields stay far inside the buffer; oversized texts are cut at its bound.
    const std::string nine(9, '9');
    EXPECT_EQ(BuildModeString(PortSettings{nine, nine, "N", nine, nine}).size(), 64u);
    const std::string huge(200, 'x');
    EXPECT_EQ(BuildModeString(PortSettings{huge, "9600", "N", "8", "1"}).size(), kModeStringMax);
}

TEST(ModeString, AcceptsTheGrammar)
{
    struct Row
    {
        const char* mode;
        std::uint32_t baud;
        Parity parity;
        int dataBits;
        StopBits stopBits;
    };
    const Row rows[] = {
        {"COM1: baud=38400 parity=E data=8 stop=1", 38400, Parity::Even, 8, StopBits::One},
        {"COM3: baud=19200 parity=N data=7 stop=2", 19200, Parity::None, 7, StopBits::Two},
        {"pts/3: baud=115200 parity=O data=5 stop=1.5", 115200, Parity::Odd, 5,
         StopBits::OneAndHalf},
        {"COM9: baud=4800 parity=M data=6 stop=1", 4800, Parity::Mark, 6, StopBits::One},
        {"COM9: baud=4800 parity=S data=8 stop=2", 4800, Parity::Space, 8, StopBits::Two},
        {"COM2: baud=9600 parity=e data=8 stop=1", 9600, Parity::Even, 8, StopBits::One},
        {"ttyUSB0: baud=250000 parity=n data=8 stop=1", 250000, Parity::None, 8, StopBits::One},
        // The device name plays no part in the line parameters, and extra blanks separate too.
        {": baud=1200 parity=N data=8 stop=1", 1200, Parity::None, 8, StopBits::One},
        {"COM1: baud=300 parity=N data=8  stop=1 ", 300, Parity::None, 8, StopBits::One},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        LineState state{1, Parity::None, 8, StopBits::One, RtsControl::WhileTransmitting, true};
        ASSERT_TRUE(ParseModeString(row.mode, state));
        EXPECT_EQ(state, (LineState{row.baud, row.parity, row.dataBits, row.stopBits,
                                    RtsControl::WhileTransmitting, true}));
    }
}

TEST(ModeString, RejectsWhatAPortCannotTakeAndLeavesTheStateAlone)
{
    const char* rejected[] = {
        // baud rate: empty, not a number, zero, signed, too large
        "COM1: baud= parity=E data=8 stop=1",
        "COM1: baud=fast parity=E data=8 stop=1",
        "COM1: baud=96x parity=E data=8 stop=1",
        "COM1: baud=0 parity=E data=8 stop=1",
        "COM1: baud=-9600 parity=E data=8 stop=1",
        "COM1: baud=+9600 parity=E data=8 stop=1",
        "COM1: baud=4294967296 parity=E data=8 stop=1",
        "COM1: baud=3000000000 parity=E data=8 stop=1",
        // parity: other letters, words, nothing
        "COM1: baud=9600 parity=X data=8 stop=1",
        "COM1: baud=9600 parity=EVEN data=8 stop=1",
        "COM1: baud=9600 parity= data=8 stop=1",
        // data bits outside 5 to 8
        "COM1: baud=9600 parity=E data=4 stop=1",
        "COM1: baud=9600 parity=E data=9 stop=1",
        "COM1: baud=9600 parity=E data= stop=1",
        "COM1: baud=9600 parity=E data=eight stop=1",
        // stop bits other than 1, 1.5, 2
        "COM1: baud=9600 parity=E data=8 stop=0",
        "COM1: baud=9600 parity=E data=8 stop=3",
        "COM1: baud=9600 parity=E data=8 stop=1.0",
        "COM1: baud=9600 parity=E data=8 stop=",
        // the grammar itself
        "COM1 baud=9600 parity=E data=8 stop=1",
        "COM1:baud=9600 parity=E data=8 stop=1",
        "COM1: parity=E baud=9600 data=8 stop=1",
        "COM1: baud=9600 parity=E data=8",
        "COM1: baud=9600 parity=E data=8 stop=1 dtr=on",
        "COM1: BAUD=9600 parity=E data=8 stop=1",
        "",
    };
    const LineState before{2400, Parity::Odd, 7, StopBits::Two, RtsControl::Active, false};
    for (const char* mode : rejected) {
        SCOPED_TRACE(mode);
        LineState state = before;
        EXPECT_FALSE(ParseModeString(mode, state));
        EXPECT_EQ(state, before);
    }
}

} // namespace
} // namespace quillon::test
