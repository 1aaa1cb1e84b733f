#include <gtest/gtest.h>

#include "portsetup/port_settings_persistence.h"
#include "support/fakes.h"

namespace quillon::test {
namespace {

Bytes Field(const std::string& text)
{
    Bytes field(kSettingFieldSize, 0);
    std::copy(text.begin(), text.end(), field.begin());
    return field;
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

TEST(PortSettingsPersistence, FirstRunKeepsStartValuesAndQuitWritesAllFive)
{
    MemorySettingsStore store;
    PortSettings settings;
    LoadSettings(store, settings);
    EXPECT_EQ(settings, PortSettings{});

    SaveSettings(store, settings);
    EXPECT_EQ(store.values, (std::map<std::string, Bytes>{{"Port", Field("COM1")},
                                                          {"Baud", Field("38400")},
                                                          {"Parity", Field("E")},
                                                          {"DataLength", Field("8")},
                                                          {"StopBits", Field("1")}}));

    PortSettings restored{"", "", "", "", ""};
    LoadSettings(store, restored);
    EXPECT_EQ(restored, PortSettings{});
}

TEST(PortSettingsPersistence, WritesEveryValueAsTenBytesWhateverTheText)
{
    MemorySettingsStore store;
    const PortSettings settings{"", "115200", "N", "8", "ttyUSB123"};
    SaveSettings(store, settings);
    ASSERT_EQ(store.values.size(), 5u);
    for (const auto& [name, bytes] : store.values) {
        SCOPED_TRACE(name);
        EXPECT_EQ(bytes.size(), kSettingFieldSize);
        EXPECT_EQ(bytes.back(), 0);
    }
    EXPECT_EQ(store.values["Port"], Bytes(kSettingFieldSize, 0));
    EXPECT_EQ(store.values["StopBits"], Field("ttyUSB123"));

    // A text too long for its field is cut so that the terminating zero still fits.
    SaveSettings(store, PortSettings{"ttyUSB1234567", "9600", "E", "8", "1"});
    EXPECT_EQ(store.values["Port"], Field("ttyUSB123"));
}

TEST(PortSettingsPersistence, TakesOnlyValuesThatFitTheirField)
{
    struct Row
    {
        const char* situation;
        std::optional<Bytes> stored;
        const char* before;
        const char* after;
    };
    const std::vector<Row> rows{
        {"absent", std::nullopt, "38400", "38400"},
        {"shorter text after a longer one", Field("9600"), "38400", "9600"},
        {"empty port", Field(""), "COM1", ""},
        {"short value ending in zero", Text(std::string("COM3\0", 5)), "ttyUSB0", "COM3"},
        {"nine characters and zero", Field("ttyUSB123"), "COM1", "ttyUSB123"},
        {"over ten bytes", Text(std::string("COM3\0\0\0\0\0\0\0", 11)), "COM1", "COM1"},
        {"ten bytes without a zero", Text("ttyUSB0123"), "COM1", "COM1"},
        // A short value lands on the start of the field; the field's old zero ends the text.
        {"short value without zero", Text("COM3"), "COM1", "COM3"},
        {"short value over a longer text", Text("96"), "38400", "96400"},
        {"short value filling the field", Text("123456789"), "COM1", "123456789"},
        {"empty value", Bytes{}, "38400", "38400"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        MemorySettingsStore store;
        if (row.stored)
            store.values["Baud"] = *row.stored;
        PortSettings settings;
        settings.baud = row.before;
        LoadSettings(store, settings);
        EXPECT_EQ(settings.baud, row.after);
        EXPECT_EQ(settings.port, "COM1");
    }
}

TEST(PortSettingsPersistence, MissingValuesKeepTheirStartValues)
{
    MemorySettingsStore store;
    SaveSettings(store, PortSettings{"ttyUSB0", "9600", "O", "7", "2"});
    store.values.erase("Parity");
    PortSettings settings;
    LoadSettings(store, settings);
    EXPECT_EQ(settings, (PortSettings{"ttyUSB0", "9600", "E", "7", "2"}));

    // A value that cannot be taken does not stop the ones after it.
    store.values["Baud"] = Bytes(12, '1');
    store.values["Port"] = Text("ttyACM0123");
    PortSettings again;
    LoadSettings(store, again);
    EXPECT_EQ(again, (PortSettings{"COM1", "38400", "E", "7", "2"}));
}

TEST(PortSettingsPersistence, FramesNamesTheModelAndAnythingElseIsTheDefault)
{
    const struct
    {
        const char* situation;
        std::optional<Bytes> stored;
        FrameModelKind kind;
    } rows[] = {
        {"absent: as it was", std::nullopt, FrameModelKind::Standard},
        {"standard", Field("Standard"), FrameModelKind::Standard},
        {"device", Field("Device"), FrameModelKind::Device},
        {"short value without zero", Text("Standard"), FrameModelKind::Standard},
        {"another spelling", Field("standard"), FrameModelKind::Device},
        {"over ten bytes", Text(std::string("Standard\0\0\0", 11)), FrameModelKind::Device},
        {"ten bytes without a zero", Text("Standard12"), FrameModelKind::Device},
    };
    for (const auto& row : rows) {
        MemorySettingsStore store;
        if (row.stored)
            store.values["Frames"] = *row.stored;
        FrameModelKind kind = FrameModelKind::Standard;
        LoadFrameModelKind(store, kind);
        EXPECT_EQ(kind, row.kind) << row.situation;
    }
    MemorySettingsStore store;
    for (const FrameModelKind kind : {FrameModelKind::Standard, FrameModelKind::Device}) {
        SaveFrameModelKind(store, kind);
        EXPECT_EQ(store.values["Frames"].size(), kSettingFieldSize);
        FrameModelKind loaded =
            kind == FrameModelKind::Device ? FrameModelKind::Standard : FrameModelKind::Device;
        LoadFrameModelKind(store, loaded);
        EXPECT_EQ(loaded, kind);
    }
}

TEST(PortSettingsPersistence, WindowSizeIsTwoSidesOfOneToFourDigitsAndRoundTrips)
{
    const struct
    {
        const char* stored;
        std::optional<std::pair<int, int>> size;
    } rows[] = {
        {"800x600", std::pair(800, 600)}, {"9999x1", std::pair(9999, 1)},
        {"0x600", std::nullopt},          {"10000x60", std::nullopt},
        {"800x", std::nullopt},           {"x600", std::nullopt},
        {"800X600", std::nullopt},        {"80 x600", std::nullopt},
        {"800x600x", std::nullopt},       {"", std::nullopt},
    };
    for (const auto& row : rows) {
        MemorySettingsStore store;
        store.values["WindowSize"] = Field(row.stored);
        const std::optional<WindowPlacement> placement = LoadWindowPlacement(store);
        ASSERT_EQ(placement.has_value(), row.size.has_value()) << row.stored;
        if (placement) {
            EXPECT_EQ(std::pair(placement->width, placement->height), *row.size) << row.stored;
        }
    }
    MemorySettingsStore store;
    EXPECT_EQ(LoadWindowPlacement(store), std::nullopt);
    SaveWindowPlacement(store, {1280, 1024, true});
    EXPECT_EQ(store.values["WindowSize"], Field("1280x1024"));
    const std::optional<WindowPlacement> restored = LoadWindowPlacement(store);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->width, 1280);
    EXPECT_TRUE(restored->maximised);
    SaveWindowPlacement(store, {640, 480, false});
    EXPECT_FALSE(LoadWindowPlacement(store)->maximised);
}

} // namespace
} // namespace quillon::test
