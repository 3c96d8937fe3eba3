#pragma once

#include "dialog/DialogChoices.h"

namespace tolvren::win32 {

/// The user's own place for the dialog's choices: HKEY_CURRENT_USER\Software\Tolvren, one text
/// (REG_SZ) for each. The uninstaller offers to remove the key.
class RegistryChoiceStore : public ChoiceStore {
public:
    std::optional<std::string> Read(std::string_view name) const override;
    /// A value that cannot be written is not kept; the dialog then starts as before next time.
    bool Write(std::string_view name, const std::string& value) override;
    std::string Location() const override;
};

} // namespace tolvren::win32
