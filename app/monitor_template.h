#pragma once

#include <array>
#include <string_view>

namespace quillon {

enum class ControlKind
{
    PushButton,
    ListBox,
    DropDownList,  // a combo box whose entries can only be picked
    DropDownCombo, // a combo box with an edit field
    StaticText,
    SunkenStaticText
};

// One control of a dialog template: identifier, kind, initial text and place in dialog units.
struct ControlTemplate
{
    int id;
    ControlKind kind;
    std::string_view objectName;
    std::string_view text;
    int x;
    int y;
    int width;
    int height;
};

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdHelp = 57670;
constexpr int kIdFrameList = 1000;
constexpr int kIdFunctionFilter = 1001;
constexpr int kIdNodeFilter = 1002;
constexpr int kIdFile = 1003;
constexpr int kIdFileName = 1004;
constexpr int kIdFilteredList = 1005;
constexpr int kIdDetailList = 1006;
constexpr int kIdGo = 1007;
constexpr int kIdPause = 1008;
constexpr int kIdStop = 1009;
constexpr int kIdSamples = 1010;
constexpr int kIdFloatOrder = 1011;
constexpr int kIdSaveFile = 1012;
constexpr int kIdLoadFile = 1013;

constexpr std::string_view kMonitorCaption = "Orvane V2 (Modbus Monitor)";
constexpr int kMonitorWidth = 461;
constexpr int kMonitorHeight = 326;

// The Monitor window's controls in template order, which is also the tab order.
constexpr std::array<ControlTemplate, 16> kMonitorTemplate{{
    {kIdCancel, ControlKind::PushButton, "quitButton", "Quit", 404, 177, 36, 14},
    {kIdHelp, ControlKind::PushButton, "helpButton", "&Help", 365, 177, 36, 14},
    {kIdFrameList, ControlKind::ListBox, "frameList", "", 7, 7, 447, 78},
    {kIdFunctionFilter, ControlKind::DropDownList, "functionFilter", "", 7, 84, 181, 56},
    {kIdNodeFilter, ControlKind::DropDownCombo, "nodeFilter", "", 189, 85, 48, 30},
    {kIdFile, ControlKind::PushButton, "fileButton", "File", 238, 84, 39, 14},
    {kIdFileName, ControlKind::SunkenStaticText, "fileName", "", 278, 86, 176, 12},
    {kIdFilteredList, ControlKind::ListBox, "filteredList", "", 7, 98, 447, 78},
    {kIdDetailList, ControlKind::ListBox, "detailList", "", 7, 196, 447, 78},
    {kIdGo, ControlKind::PushButton, "goButton", "Go", 7, 177, 38, 14},
    {kIdPause, ControlKind::PushButton, "pauseButton", "Pause", 45, 177, 38, 14},
    {kIdStop, ControlKind::PushButton, "stopButton", "Stop", 83, 177, 38, 14},
    {kIdSamples, ControlKind::StaticText, "samples", "Samples = 0", 122, 178, 54, 12},
    {kIdFloatOrder, ControlKind::DropDownCombo, "floatOrder", "", 181, 177, 106, 49},
    {kIdSaveFile, ControlKind::PushButton, "saveFileButton", "Save File", 289, 177, 36, 14},
    {kIdLoadFile, ControlKind::PushButton, "loadFileButton", "Load File", 327, 177, 36, 14},
}};

} // namespace quillon
