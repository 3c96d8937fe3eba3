#include "ui/win32/FolderPicker.h"

#include <objbase.h>
#include <shobjidl.h>

namespace tolvren::win32 {

namespace {

// Releases a COM object when it goes.
template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (m_p != nullptr) {
            m_p->Release();
        }
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    Interface** operator&() { return &m_p; }
    Interface* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    Interface* Get() const { return m_p; }

private:
    Interface* m_p = nullptr;
};

} // namespace

std::wstring FolderPicker(HWND owner, const std::wstring& startFolder) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&dialog)))) {
        return {};
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(L"请选择文件夹...");
    if (!startFolder.empty()) {
        ComPtr<IShellItem> start;
        if (SUCCEEDED(::SHCreateItemFromParsingName(startFolder.c_str(), nullptr,
                                                    IID_PPV_ARGS(&start)))) {
            // SetFolder, not SetDefaultFolder: the box's folder wins over the last one chosen.
            dialog->SetFolder(start.Get());
        }
    }
    ComPtr<IShellItem> chosen;
    if (FAILED(dialog->Show(owner)) || FAILED(dialog->GetResult(&chosen))) {
        return {}; // cancelled
    }
    wchar_t* path = nullptr;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        return {};
    }
    std::wstring folder(path);
    ::CoTaskMemFree(path);
    return folder;
}

} // namespace tolvren::win32
