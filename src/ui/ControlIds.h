#pragma once

// The ids of the main window's controls, as their object names carry them. The dialog and its
// tests both find controls through these.

namespace tolvren::ids {

inline constexpr const char* kSourceEdit = "1001";
inline constexpr const char* kTargetEdit = "1002";
inline constexpr const char* kBrowseSource = "1003";
inline constexpr const char* kBrowseTarget = "1004";
inline constexpr const char* kStart = "1005";
inline constexpr const char* kAuthorEdit = "1006";
inline constexpr const char* kKmcRadio = "1007";
inline constexpr const char* kXmlRadio = "1008";
inline constexpr const char* kStop = "1009";
inline constexpr const char* kProgress = "1010";
inline constexpr const char* kElapsed = "1011";
inline constexpr const char* kOpenTargetCheck = "1013";
inline constexpr const char* kIcon = "1014";
inline constexpr const char* kExit = "2";
// Controls the first layout did not have.
inline constexpr const char* kLrcRadio = "1015";
inline constexpr const char* kAssRadio = "1016";
inline constexpr const char* kEncodingCombo = "1017";
inline constexpr const char* kDetails = "1018";

/// The About action in the window's context menu (and on F1).
inline constexpr const char* kAboutAction = "aboutAction";

} // namespace tolvren::ids
