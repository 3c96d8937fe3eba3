#include "ui/win32/RegistryChoiceStore.h"

#include "files/Win32Text.h"

#include <cwchar>
#include <windows.h>

namespace tolvren::win32 {

namespace {

constexpr const wchar_t* kKey = L"Software\\Tolvren";

} // namespace

std::optional<std::string> RegistryChoiceStore::Read(std::string_view name) const {
    const std::wstring value = Widen(name);
    DWORD bytes = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, kKey, value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                       &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegGetValueW(HKEY_CURRENT_USER, kKey, value.c_str(), RRF_RT_REG_SZ, nullptr, text.data(),
                       &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    text.resize(::wcsnlen(text.c_str(), bytes / sizeof(wchar_t)));
    return Narrow(text);
}

bool RegistryChoiceStore::Write(std::string_view name, const std::string& value) {
    bool valid = true;
    const std::wstring text = Widen(value, &valid);
    return valid && ::RegSetKeyValueW(
                        HKEY_CURRENT_USER, kKey, Widen(name).c_str(), REG_SZ, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::string RegistryChoiceStore::Location() const {
    return "HKEY_CURRENT_USER\\" + Narrow(kKey);
}

} // namespace tolvren::win32
