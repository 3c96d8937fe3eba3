#pragma once

// The names of the main window's controls, which the dialog gives them as object names and its
// tests find them by. Each says what the control is; the number beside it is the control's id in
// the window's resource template, which the Windows dialog uses (ui/win32/Resource.h).

namespace tolvren::ids {

inline constexpr const char* kSourceEdit = "sourceEdit";           // 1001
inline constexpr const char* kTargetEdit = "targetEdit";           // 1002
inline constexpr const char* kBrowseSource = "browseSourceButton"; // 1003
inline constexpr const char* kBrowseTarget = "browseTargetButton"; // 1004
inline constexpr const char* kStart = "startButton";               // 1005
inline constexpr const char* kAuthorEdit = "authorEdit";           // 1006
inline constexpr const char* kStop = "stopButton";                 // 1009
inline constexpr const char* kProgress = "progressBar";            // 1010
inline constexpr const char* kElapsed = "elapsedLabel";            // 1011
inline constexpr const char* kOpenTargetCheck = "openTargetCheck"; // 1013
inline constexpr const char* kIcon = "iconLabel";                  // 1014
inline constexpr const char* kExit = "exitButton";                 // 2
inline constexpr const char* kEncodingCombo = "encodingCombo";     // 1017
inline constexpr const char* kDetails = "detailsButton";           // 1018
inline constexpr const char* kFormatCombo = "formatCombo";         // 1040
inline constexpr const char* kLrcStyleCombo = "lrcStyleCombo";     // 1041
inline constexpr const char* kAssOptions = "assOptionsButton";     // 1042
inline constexpr const char* kShiftSpin = "shiftSpin";             // 1043
inline constexpr const char* kChineseCombo = "chineseCombo";       // 1045

/// The About action in the window's context menu (and on F1).
inline constexpr const char* kAboutAction = "aboutAction";

} // namespace tolvren::ids
