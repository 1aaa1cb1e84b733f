#pragma once

#include <string_view>

namespace quillon {

// The texts of the monitor's message boxes and questions, exactly as the user sees them.

inline constexpr std::string_view kFileOpenErrorCaption = "File Open Error";
inline constexpr std::string_view kCantOpenCreateFile = "Can't Open/Create File";
inline constexpr std::string_view kProtectedFile = "Can't Open/Create File (protected)";
inline constexpr std::string_view kCantOpenFile = "Can't Open File";

inline constexpr std::string_view kFileCreateErrorCaption = "File Create Error";
inline constexpr std::string_view kCantCreateBackup = "Can't Create Backup File";

inline constexpr std::string_view kFileWriteErrorCaption = "File Write Error";
inline constexpr std::string_view kCantWriteFile = "Can't Write File";

inline constexpr std::string_view kFileReadErrorCaption = "File Read Error";
// Followed by the number of damaged lines in decimal.
inline constexpr std::string_view kDamagedLinesSkipped = "Damaged lines skipped: ";

inline constexpr std::string_view kPortErrorCaption = "Port Error";
inline constexpr std::string_view kPortLost = "Port Lost - capture stopped";

inline constexpr std::string_view kSaveDataCaption = "Save Data";
inline constexpr std::string_view kSaveDataQuestion = "Save current data to file?";

inline constexpr std::string_view kLimitCaption = "Maximum Data";
inline constexpr std::string_view kLimitQuestion =
    "Maximum List Entries - Save to file?\nPress Cancel to stop retrieval to analyse data";

} // namespace quillon
