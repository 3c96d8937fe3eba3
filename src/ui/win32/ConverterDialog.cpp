#include "ui/win32/ConverterDialog.h"

#include "files/Win32Text.h"
#include "ui/win32/AboutDialog.h"
#include "ui/win32/AssOptionsDialog.h"
#include "ui/win32/FolderPicker.h"
#include "ui/win32/ProblemListDialog.h"
#include "ui/win32/Resource.h"

#include <commctrl.h>
#include <shellapi.h>
#include <utility>

namespace tolvren::win32 {

namespace {

// Posted by the worker's thread when the run function has returned.
constexpr UINT kRunReturnedMessage = WM_APP + 1;
// The window shows the newest state of a run this often; nobody sees more than one per frame.
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kFrameMs = 16;
constexpr UINT_PTR kDropSubclassId = 1;
// WM_COMMAND's notification code for a command from the accelerator table (F1).
constexpr WORD kFromAccelerator = 1;

// The drop-down list of each of the controller's lists.
constexpr std::pair<DialogList, int> kLists[] = {{DialogList::Format, IDC_FORMAT},
                                                 {DialogList::LrcStyle, IDC_LRC_STYLE},
                                                 {DialogList::Encoding, IDC_ENCODING},
                                                 {DialogList::Chinese, IDC_CHINESE}};

std::wstring WindowText(HWND hWnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hWnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

int FieldId(ConverterView::Field field) {
    using Field = ConverterView::Field;
    return field == Field::SourceDir   ? IDC_SOURCE_DIR
           : field == Field::TargetDir ? IDC_TARGET_DIR
           : field == Field::Author    ? IDC_AUTHOR
           : field == Field::Shift     ? IDC_SHIFT
                                       : IDC_ELAPSED;
}

} // namespace

ConverterDialog::ConverterDialog(HINSTANCE instance, ChoiceStore& store,
                                 ConverterController::RunFunction run)
    : m_hInstance(instance), m_controller(*this, store, std::move(run)) {}

ConverterDialog::~ConverterDialog() {
    if (m_hWnd != nullptr) {
        ::DestroyWindow(m_hWnd);
    }
    for (HICON icon : {m_hIcon, m_hSmallIcon}) {
        if (icon != nullptr) {
            ::DestroyIcon(icon);
        }
    }
}

bool ConverterDialog::Create() {
    m_hAccelerators = ::LoadAcceleratorsW(m_hInstance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    return ::CreateDialogParamW(m_hInstance, MAKEINTRESOURCEW(IDD_CONVERTER), nullptr, &DialogProc,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

int ConverterDialog::RunMessageLoop() {
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (m_hWnd != nullptr && (::TranslateAcceleratorW(m_hWnd, m_hAccelerators, &msg) != 0 ||
                                  ::IsDialogMessageW(m_hWnd, &msg) != 0)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

INT_PTR CALLBACK ConverterDialog::DialogProc(HWND hDlg, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        auto* self = reinterpret_cast<ConverterDialog*>(lParam);
        self->m_hWnd = self->m_hPostTarget = hDlg;
        self->OnInitDialog();
        return TRUE; // the source box gets the focus, its text selected
    }
    auto* self = reinterpret_cast<ConverterDialog*>(::GetWindowLongPtrW(hDlg, DWLP_USER));
    return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR ConverterDialog::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_COMMAND:
        // A format chosen (its code is the accelerators' too), clicks, Enter, Esc and F1.
        if (LOWORD(wParam) == IDC_FORMAT) {
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                m_controller.OnFormatChanged();
            }
        } else if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == kFromAccelerator) {
            OnCommand(LOWORD(wParam));
        }
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            ShowAboutDialog(m_hInstance, m_hWnd);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        m_controller.OnCancel();
        return TRUE;
    case WM_TIMER:
        m_controller.OnFrame();
        return TRUE;
    case kRunReturnedMessage:
        m_controller.OnRunFinished();
        return TRUE;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        m_hWnd = nullptr;
        return TRUE;
    default:
        return FALSE;
    }
}

void ConverterDialog::OnCommand(int id) {
    switch (id) {
    case IDC_BROWSE_SOURCE:
        m_controller.OnBrowseSource();
        break;
    case IDC_BROWSE_TARGET:
        m_controller.OnBrowseTarget();
        break;
    case IDC_START:
        m_controller.OnStart();
        break;
    case IDC_STOP:
        m_controller.OnStop();
        break;
    case IDCANCEL:
        m_controller.OnCancel();
        break;
    case IDC_DETAILS:
        m_controller.OnDetails();
        break;
    case IDC_ASS_OPTIONS:
        m_controller.OnAssOptions();
        break;
    case IDM_ABOUTBOX:
        ShowAboutDialog(m_hInstance, m_hWnd);
        break;
    default:
        break;
    }
}

void ConverterDialog::OnInitDialog() {
    m_progress.Attach(Item(IDC_PROGRESS));
    if (HMENU menu = ::GetSystemMenu(m_hWnd, FALSE); menu != nullptr) {
        wchar_t text[64] = {};
        if (::LoadStringW(m_hInstance, IDS_ABOUTBOX, text, 64) > 0) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text);
        }
    }
    ::LoadIconMetric(m_hInstance, MAKEINTRESOURCEW(IDI_TOLVREN), LIM_LARGE, &m_hIcon);
    ::LoadIconMetric(m_hInstance, MAKEINTRESOURCEW(IDI_TOLVREN), LIM_SMALL, &m_hSmallIcon);
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));
    for (const auto& [list, id] : kLists) {
        for (const std::string& entry : ListEntries(list)) {
            ::SendDlgItemMessageW(m_hWnd, id, CB_ADDSTRING, 0,
                                  reinterpret_cast<LPARAM>(Widen(entry).c_str()));
        }
    }
    ::SendDlgItemMessageW(m_hWnd, IDC_SHIFT_SPIN, UDM_SETRANGE32, static_cast<WPARAM>(-kMaxShift),
                          static_cast<LPARAM>(kMaxShift));

    // The bar's tooltip counts the last run's problems; without any it shows nothing.
    m_hToolTip = ::CreateWindowExW(
        0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, m_hInstance, nullptr);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_progress.GetSafeHwnd());
    tool.lpszText = m_strProblemTip.data();
    ::SendMessageW(m_hToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT width{0, 0, 200, 0};
    ::MapDialogRect(m_hWnd, &width);
    ::SendMessageW(m_hToolTip, TTM_SETMAXTIPWIDTH, 0, width.right);

    // A folder dropped from Explorer on the source box.
    ::DragAcceptFiles(Item(IDC_SOURCE_DIR), TRUE);
    ::SetWindowSubclass(Item(IDC_SOURCE_DIR), &DropProc, kDropSubclassId,
                        reinterpret_cast<DWORD_PTR>(this));
    m_controller.OnInitDialog();
}

LRESULT CALLBACK ConverterDialog::DropProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR /*id*/, DWORD_PTR self) {
    if (message == WM_DROPFILES) {
        reinterpret_cast<ConverterDialog*>(self)->OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hWnd, &DropProc, kDropSubclassId);
    }
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

void ConverterDialog::OnDropFiles(HDROP drop) {
    std::vector<std::string> paths(::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0));
    for (UINT i = 0; i < paths.size(); ++i) {
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        paths[i] = Narrow(path);
    }
    ::DragFinish(drop);
    m_controller.OnDrop(paths);
}

std::string ConverterDialog::GetText(Field field) const {
    return Narrow(WindowText(Item(FieldId(field))));
}

void ConverterDialog::SetText(Field field, const std::string& text) {
    ::SetWindowTextW(Item(FieldId(field)), Widen(text).c_str());
}

void ConverterDialog::SelectSource() {
    ::SendDlgItemMessageW(m_hWnd, IDC_SOURCE_DIR, EM_SETSEL, 0, -1);
}

DialogOptions ConverterDialog::GetOptions() const {
    DialogOptions options;
    for (const auto& [list, id] : kLists) {
        ChooseEntry(list, static_cast<int>(::SendDlgItemMessageW(m_hWnd, id, CB_GETCURSEL, 0, 0)),
                    options);
    }
    options.openTarget = ::IsDlgButtonChecked(m_hWnd, IDC_OPEN_TARGET) == BST_CHECKED;
    return options;
}

void ConverterDialog::SetOptions(const DialogOptions& options) {
    for (const auto& [list, id] : kLists) {
        ::SendDlgItemMessageW(m_hWnd, id, CB_SETCURSEL,
                              static_cast<WPARAM>(ListIndex(list, options)), 0);
    }
    ::CheckDlgButton(m_hWnd, IDC_OPEN_TARGET, options.openTarget ? BST_CHECKED : BST_UNCHECKED);
}

void ConverterDialog::EnableOptions(const OptionStates& states) {
    for (const auto& [id, enable] : {std::pair{IDC_LRC_STYLE, states.lrcStyle},
                                     {IDC_SHIFT, states.shift},
                                     {IDC_SHIFT_SPIN, states.shift},
                                     {IDC_ASS_OPTIONS, states.assOptions}}) {
        ::EnableWindow(Item(id), enable ? TRUE : FALSE);
    }
}

void ConverterDialog::SetPos(int pos) {
    m_progress.SetPos(pos);
}

void ConverterDialog::SetBarText(const std::string& text) {
    m_progress.SetWindowText(Widen(text));
}

void ConverterDialog::SetProblemTip(const std::string& text) {
    m_strProblemTip = Widen(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_progress.GetSafeHwnd());
    tool.hinst = m_hInstance;
    tool.lpszText = m_strProblemTip.data();
    ::SendMessageW(m_hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ConverterDialog::SetRunning(bool running) {
    // The button about to be disabled hands the focus to the other, or the keyboard would be
    // left on a control that takes no keys.
    const HWND enabled = Item(running ? IDC_STOP : IDC_START);
    const HWND disabled = Item(running ? IDC_START : IDC_STOP);
    ::EnableWindow(enabled, TRUE);
    if (::GetFocus() == disabled) {
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(enabled), TRUE);
    }
    ::EnableWindow(disabled, FALSE);
    // Enter stays Start's, whichever button had the focus.
    ::SendMessageW(m_hWnd, DM_SETDEFID, IDC_START, 0);
}

void ConverterDialog::EnableDetails(bool enable) {
    ::EnableWindow(Item(IDC_DETAILS), enable ? TRUE : FALSE);
}

void ConverterDialog::SetFrameTimer(bool on) {
    if (on) {
        ::SetTimer(m_hWnd, kRefreshTimer, kFrameMs, nullptr);
    } else {
        ::KillTimer(m_hWnd, kRefreshTimer);
    }
}

void ConverterDialog::PostRunReturned() {
    ::PostMessageW(m_hPostTarget, kRunReturnedMessage, 0, 0);
}

std::string ConverterDialog::PickFolder(const std::string& startFolder) {
    return Narrow(FolderPicker(m_hWnd, Widen(startFolder)));
}

void ConverterDialog::ShowWarning(const std::string& text) {
    ::MessageBoxW(m_hWnd, Widen(text).c_str(), WindowText(m_hWnd).c_str(), MB_OK | MB_ICONWARNING);
}

bool ConverterDialog::EditAssOptions(AssChoices& choices) {
    return win32::EditAssOptions(m_hInstance, m_hWnd, choices);
}

void ConverterDialog::ShowProblems(const std::vector<RunProblem>& problems) {
    ShowProblemList(m_hInstance, m_hWnd, problems);
}

void ConverterDialog::CloseWindow() {
    ::DestroyWindow(m_hWnd);
}

} // namespace tolvren::win32
