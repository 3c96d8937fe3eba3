#include "ui/win32/ConverterDialog.h"

#include "batch/Messages.h"
#include "files/FileBrowser.h"
#include "files/Win32Text.h"
#include "ui/win32/AboutDialog.h"
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

constexpr std::pair<int, OutputFormat> kFormatRadios[] = {{IDC_KMC, OutputFormat::Kmc},
                                                          {IDC_XML, OutputFormat::Xml},
                                                          {IDC_LRC, OutputFormat::Lrc},
                                                          {IDC_ASS, OutputFormat::Ass}};

std::wstring WindowText(HWND hWnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hWnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void SetTextIfChanged(HWND hWnd, const std::wstring& text) {
    if (WindowText(hWnd) != text) {
        ::SetWindowTextW(hWnd, text.c_str());
    }
}

} // namespace

ConverterDialog::ConverterDialog(HINSTANCE instance, RunMonitor::RunFunction run,
                                 ChoiceStore& store)
    : m_hInstance(instance), m_store(store),
      // Called on the worker's thread: the message brings it to the window's.
      m_monitor(std::move(run), [this] { ::PostMessageW(m_hWnd, kRunReturnedMessage, 0, 0); }) {}

ConverterDialog::~ConverterDialog() {
    // A run still going ends after its file, and is joined while its message can reach a window.
    if (m_monitor.IsActive()) {
        m_monitor.RequestExit();
        m_monitor.Finish();
    }
    if (m_hWnd != nullptr) {
        ::DestroyWindow(m_hWnd);
    }
    for (HICON icon : {m_hIcon, m_hSmallIcon}) {
        if (icon != nullptr) {
            ::DestroyIcon(icon);
        }
    }
}

bool ConverterDialog::Create(const std::wstring& sourceFolder) {
    m_strGivenFolder = sourceFolder;
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

void ConverterDialog::ShowWarning(const std::string& text) {
    ::MessageBoxW(m_hWnd, Widen(text).c_str(), WindowText(m_hWnd).c_str(), MB_OK | MB_ICONWARNING);
}

INT_PTR CALLBACK ConverterDialog::DialogProc(HWND hDlg, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        auto* self = reinterpret_cast<ConverterDialog*>(lParam);
        self->m_hWnd = hDlg;
        self->OnInitDialog();
        return TRUE; // the source box gets the focus, its text selected
    }
    auto* self = reinterpret_cast<ConverterDialog*>(::GetWindowLongPtrW(hDlg, DWLP_USER));
    return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR ConverterDialog::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_COMMAND:
        // Clicks, Enter and Esc, and F1 through the accelerators.
        if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == kFromAccelerator) {
            OnCommand(LOWORD(wParam));
        }
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            OnAbout();
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        OnCancel();
        return TRUE;
    case WM_TIMER:
        ShowSnapshot();
        return TRUE;
    case kRunReturnedMessage:
        OnRunFinished();
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
        OnBrowseSource();
        break;
    case IDC_BROWSE_TARGET:
        OnBrowseTarget();
        break;
    case IDC_START:
        OnStart();
        break;
    case IDC_STOP:
        OnStop();
        break;
    case IDCANCEL:
        OnCancel();
        break;
    case IDC_DETAILS:
        OnDetails();
        break;
    case IDM_ABOUTBOX:
        OnAbout();
        break;
    default:
        break;
    }
}

void ConverterDialog::OnInitDialog() {
    m_progress.Attach(::GetDlgItem(m_hWnd, IDC_PROGRESS));
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

    const HWND encodings = ::GetDlgItem(m_hWnd, IDC_ENCODING);
    for (const EncodingChoice& choice : DialogEncodings()) {
        ::SendMessageW(encodings, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Widen(choice.text).c_str()));
    }
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_STOP), FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_DETAILS), FALSE);

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
    const HWND source = ::GetDlgItem(m_hWnd, IDC_SOURCE_DIR);
    ::DragAcceptFiles(source, TRUE);
    ::SetWindowSubclass(source, &DropProc, kDropSubclassId, reinterpret_cast<DWORD_PTR>(this));

    ApplyChoices(RestoreChoices(m_store));
    if (!m_strGivenFolder.empty()) {
        ApplySourceFolder(m_strGivenFolder);
    }
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
    // One folder is taken; files, or several things at once, are not.
    if (::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        std::wstring path(::DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
        path.resize(::DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size())));
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            ApplySourceFolder(path);
        }
    }
    ::DragFinish(drop);
}

void ConverterDialog::UpdateData(Exchange direction) {
    const HWND source = ::GetDlgItem(m_hWnd, IDC_SOURCE_DIR);
    const HWND target = ::GetDlgItem(m_hWnd, IDC_TARGET_DIR);
    const HWND author = ::GetDlgItem(m_hWnd, IDC_AUTHOR);
    if (direction == Exchange::FromControls) {
        m_strSourceDir = WindowText(source);
        m_strTargetDir = WindowText(target);
        m_strAuthor = WindowText(author);
    } else {
        // Only what differs is written: the refresh after every file then costs nothing for
        // boxes nobody touched, while anything typed into them during a run is still replaced.
        SetTextIfChanged(source, m_strSourceDir);
        SetTextIfChanged(target, m_strTargetDir);
        SetTextIfChanged(author, m_strAuthor);
    }
}

void ConverterDialog::ApplySourceFolder(const std::wstring& folder) {
    UpdateData(Exchange::FromControls);
    m_strSourceDir = folder;
    if (m_strSourceDir.back() != L'\\') {
        m_strSourceDir += L'\\';
    }
    // The proposal: a "kmc" folder inside the source, replacing any target chosen before.
    m_strTargetDir = m_strSourceDir + L"kmc";
    UpdateData(Exchange::ToControls);
    // Typing replaces a folder that was not typed.
    ::SendDlgItemMessageW(m_hWnd, IDC_SOURCE_DIR, EM_SETSEL, 0, -1);
}

void ConverterDialog::ApplyChoices(const DialogChoices& choices) {
    m_strSourceDir = Widen(choices.sourceDir);
    m_strTargetDir = Widen(choices.targetDir);
    m_strAuthor = Widen(choices.author);
    UpdateData(Exchange::ToControls);
    for (const auto& [id, format] : kFormatRadios) {
        ::CheckDlgButton(m_hWnd, id, format == choices.format ? BST_CHECKED : BST_UNCHECKED);
    }
    const auto encodings = DialogEncodings();
    for (std::size_t i = 0; i < encodings.size(); ++i) {
        if (choices.encoding == encodings[i].name) {
            ::SendDlgItemMessageW(m_hWnd, IDC_ENCODING, CB_SETCURSEL, i, 0);
        }
    }
    ::CheckDlgButton(m_hWnd, IDC_OPEN_TARGET, choices.openTarget ? BST_CHECKED : BST_UNCHECKED);
}

DialogChoices ConverterDialog::CurrentChoices() {
    UpdateData(Exchange::FromControls);
    DialogChoices choices{Narrow(m_strSourceDir), Narrow(m_strTargetDir), Narrow(m_strAuthor)};
    for (const auto& [id, format] : kFormatRadios) {
        if (IsChecked(id)) {
            choices.format = format;
        }
    }
    const auto index = ::SendDlgItemMessageW(m_hWnd, IDC_ENCODING, CB_GETCURSEL, 0, 0);
    if (index >= 0 && static_cast<std::size_t>(index) < DialogEncodings().size()) {
        choices.encoding = DialogEncodings()[static_cast<std::size_t>(index)].name;
    }
    choices.openTarget = IsChecked(IDC_OPEN_TARGET);
    return choices;
}

bool ConverterDialog::IsChecked(int id) const {
    return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void ConverterDialog::OnBrowseSource() {
    const std::wstring folder =
        FolderPicker(m_hWnd, WindowText(::GetDlgItem(m_hWnd, IDC_SOURCE_DIR)));
    if (!folder.empty()) {
        ApplySourceFolder(folder);
    }
}

void ConverterDialog::OnBrowseTarget() {
    const std::wstring folder =
        FolderPicker(m_hWnd, WindowText(::GetDlgItem(m_hWnd, IDC_TARGET_DIR)));
    if (folder.empty()) {
        return;
    }
    // What the user typed into the other boxes is kept: the refresh below writes every field.
    UpdateData(Exchange::FromControls);
    m_strTargetDir = folder;
    UpdateData(Exchange::ToControls);
}

void ConverterDialog::OnStart() {
    if (m_monitor.IsActive()) {
        return;
    }
    const DialogChoices choices = CurrentChoices();
    RunRequest request;
    request.sourceDir = choices.sourceDir;
    request.targetDir = choices.targetDir;
    request.author = choices.author;
    request.format = choices.format;
    const std::optional<InputEncoding> encoding = InputEncoding::FromName(choices.encoding);
    if (!encoding) {
        // Only a Windows without that code page gets here.
        m_progress.SetWindowText(
            Widen(DescribeUnknownEncoding(choices.encoding, Language::Chinese)));
        return;
    }
    request.encoding = *encoding;
    if (const RequestCheck check = ValidateRequest(request); !check.ok()) {
        // Nothing starts; the bar says what is missing.
        m_progress.SetWindowText(Widen(DescribeRequestError(check, request, Language::Chinese)));
        return;
    }
    if (!m_monitor.Start(request)) {
        return; // no thread: the buttons stay as they are
    }
    SetRunning(true);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_DETAILS), FALSE);
    SetProblemTip(L"");
    ::SetTimer(m_hWnd, kRefreshTimer, kFrameMs, nullptr);
}

void ConverterDialog::SetRunning(bool running) {
    const HWND start = ::GetDlgItem(m_hWnd, IDC_START);
    const HWND stop = ::GetDlgItem(m_hWnd, IDC_STOP);
    // The button about to be disabled hands the focus to the other, or the keyboard would be
    // left on a control that takes no keys.
    const HWND enabled = running ? stop : start;
    const HWND disabled = running ? start : stop;
    ::EnableWindow(enabled, TRUE);
    if (::GetFocus() == disabled) {
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(enabled), TRUE);
    }
    ::EnableWindow(disabled, FALSE);
    // Enter stays Start's, whichever button had the focus.
    ::SendMessageW(m_hWnd, DM_SETDEFID, IDC_START, 0);
}

void ConverterDialog::OnStop() {
    m_monitor.RequestStop();
}

void ConverterDialog::OnCancel() {
    m_monitor.RequestExit();
    if (!m_monitor.IsActive()) {
        Close();
    }
}

void ConverterDialog::Close() {
    // Only ever without a run: an Exit during one closes the window when the worker has returned.
    StoreChoices(CurrentChoices(), m_store);
    ::DestroyWindow(m_hWnd);
}

void ConverterDialog::OnAbout() {
    ShowAboutDialog(m_hInstance, m_hWnd);
}

void ConverterDialog::OnDetails() {
    if (!m_monitor.IsActive()) { // the summary belongs to the worker until it has returned
        ShowProblemList(m_hInstance, m_hWnd, m_summary.problems);
    }
}

void ConverterDialog::SetProblemTip(const std::wstring& text) {
    m_strProblemTip = text;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_progress.GetSafeHwnd());
    tool.hinst = m_hInstance;
    tool.lpszText = m_strProblemTip.data();
    ::SendMessageW(m_hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ConverterDialog::ShowSnapshot() {
    const std::optional<RunMonitor::Snapshot> snapshot = m_monitor.TakeSnapshot();
    if (!snapshot) {
        return;
    }
    if (snapshot->positionChanged) {
        m_progress.SetPos(snapshot->position);
    }
    m_progress.SetWindowText(Widen(snapshot->text));
    // The elapsed text keeps its last value until the first file of a run is done.
    if (!snapshot->elapsed.empty()) {
        SetTextIfChanged(::GetDlgItem(m_hWnd, IDC_ELAPSED), Widen(snapshot->elapsed));
    }
    // Every refresh writes the fields back, so text typed into the boxes during a run is
    // replaced.
    UpdateData(Exchange::ToControls);
}

void ConverterDialog::OnRunFinished() {
    m_summary = m_monitor.Finish();
    ::KillTimer(m_hWnd, kRefreshTimer);
    ShowSnapshot();
    SetProblemTip(Widen(ProblemCountsText(m_summary)));
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_DETAILS), !m_summary.problems.empty());
    SetRunning(false);
    // Read now, as the run ends: the box may have been ticked or cleared meanwhile.
    if (IsChecked(IDC_OPEN_TARGET)) {
        if (const OpenFolderResult opened = OpenInFileBrowser(m_summary.target); !opened.ok()) {
            ShowWarning(DescribeOpenFailure(m_summary.target, opened, Language::Chinese));
        }
    }
    if (m_monitor.ExitRequested()) {
        Close();
    }
}

} // namespace tolvren::win32
