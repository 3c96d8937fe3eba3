#include "dialog/ConverterController.h"

#include "batch/Messages.h"
#include "dialog/CommandLineInfo.h"
#include "files/FileSystem.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tolvren {

namespace {

using Field = ConverterView::Field;

constexpr std::string_view kProposedTarget = "kmc";

// Control characters have pictures of their own from U+2400 on (U+2421 for DEL), three bytes of
// UTF-8 each: E2 90 80 to E2 90 9F, and E2 90 A1.
constexpr char kPictureLead = '\xE2';
constexpr char kPictureSecond = '\x90';
constexpr unsigned char kPictureDel = 0xA1;
constexpr unsigned char kDel = 0x7F;

// What a box shows of `text`: a control character would be invisible there, or look like a
// blank, so it shows as its picture.
std::string ShownInBox(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == kDel) {
            shown += kPictureLead;
            shown += kPictureSecond;
            shown += static_cast<char>(byte == kDel ? kPictureDel : 0x80 + byte);
        } else {
            shown += c;
        }
    }
    return shown;
}

// A box's text with the pictures of control characters as the characters: what was shown as
// one is taken as it, so that Start refuses an author that holds one.
std::string ReadFromBox(const std::string& shown) {
    std::string text;
    text.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto third = i + 2 < shown.size() ? static_cast<unsigned char>(shown[i + 2]) : 0;
        if (shown[i] == kPictureLead && i + 2 < shown.size() && shown[i + 1] == kPictureSecond &&
            ((third >= 0x80 && third < 0xA0) || third == kPictureDel)) {
            text += static_cast<char>(third == kPictureDel ? kDel : third - 0x80);
            i += 2;
        } else {
            text += shown[i];
        }
    }
    return text;
}

// A leading "~" is the home folder, as a shell reads a typed path; "~user" and a "~" further on
// stay as typed, and so does every "~" where HOME is not set (Windows, as a rule).
std::string ExpandHome(const std::string& typed) {
    const bool home = typed == "~" || (typed.size() > 1 && typed[0] == '~' &&
                                       (typed[1] == '/' || typed[1] == kPathSeparator));
    const char* folder = home ? std::getenv("HOME") : nullptr;
    return folder != nullptr && *folder != '\0' ? folder + typed.substr(1) : typed;
}

// A folder chosen, dropped or named on the command line, as the box shows it and a run takes
// it: absolute, "." and ".." taken away by name as a shell's cd does, single separators, none at
// the end except a root's.
std::string CleanFolder(const std::string& folder) {
    const std::string absolute = MakeAbsolute(folder);
    try {
        const std::u8string text(absolute.begin(), absolute.end());
        const std::u8string clean = std::filesystem::path(text).lexically_normal().u8string();
        return WithoutTrailingSeparator(std::string(clean.begin(), clean.end()));
    } catch (const std::system_error&) {
        return WithoutTrailingSeparator(absolute); // a name the platform cannot convert
    }
}

// The folder `path` names, cleaned; "" when it names none.
std::string FolderNamedBy(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::string folder = CleanFolder(path);
    return StatPath(folder).kind == PathKind::Folder ? folder : std::string();
}

} // namespace

ConverterController::ConverterController(ConverterView& view, ChoiceStore& store, RunFunction run,
                                         FolderOpener openFolder)
    : m_view(view), m_store(store), m_openFolder(std::move(openFolder)),
      // Called on the worker's thread: the view brings it to the window's.
      m_monitor(std::move(run), [this] { m_view.PostRunReturned(); }) {}

void ConverterController::OnInitDialog() {
    const DialogChoices choices = RestoreChoices(m_store);
    m_strSourceDir = choices.sourceDir;
    m_strTargetDir = choices.targetDir;
    m_strAuthor = choices.author;
    m_strShift = choices.shift;
    m_ass = choices.ass;
    UpdateData(Exchange::ToControls);
    m_view.SetOptions(choices.options);
    OnFormatChanged();
    m_view.SetRunning(false);
    m_view.EnableDetails(false);
    // The first box has the focus: typing replaces a restored folder.
    m_view.SelectSource();
}

void ConverterController::UpdateData(Exchange direction) {
    const std::pair<Field, std::string*> fields[] = {{Field::SourceDir, &m_strSourceDir},
                                                     {Field::TargetDir, &m_strTargetDir},
                                                     {Field::Author, &m_strAuthor},
                                                     {Field::Shift, &m_strShift},
                                                     {Field::Elapsed, &m_strElapsed}};
    for (const auto& [field, value] : fields) {
        if (direction == Exchange::FromControls) {
            if (field != Field::Elapsed) { // the window's own text, never typed into
                *value = ReadFromBox(m_view.GetText(field));
            }
        } else if (const std::string shown = ShownInBox(*value); m_view.GetText(field) != shown) {
            // Only what differs is written: the refresh of every frame then costs nothing for
            // boxes nobody touched, while anything typed into them during a run is replaced.
            m_view.SetText(field, shown);
        }
    }
}

std::optional<std::string> ConverterController::FolderOfArgument(const std::string& given) {
    if (std::string folder = FolderNamedBy(given); !folder.empty()) {
        return folder;
    }
    // A file manager or a desktop launcher may hand over a URL instead of a path.
    if (const auto path = PathOfFileUrl(given)) {
        if (std::string folder = FolderNamedBy(*path); !folder.empty()) {
            return folder;
        }
    }
    return std::nullopt;
}

bool ConverterController::OpenFolder(const std::string& given) {
    const std::optional<std::string> folder = FolderOfArgument(given);
    if (!folder) {
        m_view.ShowWarning(DescribeNotAFolder(given, Language::Chinese));
        return false;
    }
    ApplySourceFolder(*folder);
    return true;
}

void ConverterController::ApplySourceFolder(const std::string& folder) {
    UpdateData(Exchange::FromControls);
    m_strSourceDir = CleanFolder(folder);
    // The proposal: a "kmc" folder inside the source, replacing any target chosen before.
    m_strTargetDir = JoinPath(m_strSourceDir, kProposedTarget);
    UpdateData(Exchange::ToControls);
    // Typing replaces a folder that was not typed.
    m_view.SelectSource();
}

std::string ConverterController::StartFolder(Field field) const {
    return FolderNamedBy(ExpandHome(ReadFromBox(m_view.GetText(field))));
}

void ConverterController::OnBrowseSource() {
    if (const std::string folder = m_view.PickFolder(StartFolder(Field::SourceDir));
        !folder.empty()) {
        ApplySourceFolder(folder);
    }
}

void ConverterController::OnBrowseTarget() {
    const std::string folder = m_view.PickFolder(StartFolder(Field::TargetDir));
    if (folder.empty()) {
        return;
    }
    // What was typed into the other boxes is kept: the refresh below writes every field.
    UpdateData(Exchange::FromControls);
    m_strTargetDir = CleanFolder(folder);
    UpdateData(Exchange::ToControls);
}

bool ConverterController::AcceptsDrop(std::span<const std::string> paths) {
    return paths.size() == 1 && !FolderNamedBy(paths.front()).empty();
}

void ConverterController::OnDrop(std::span<const std::string> paths) {
    if (AcceptsDrop(paths)) {
        ApplySourceFolder(paths.front());
    }
}

void ConverterController::OnFormatChanged() {
    m_view.EnableOptions(OptionStatesFor(m_view.GetOptions().format));
}

void ConverterController::OnAssOptions() {
    AssChoices choices = AssChoicesOf(m_ass);
    while (m_view.EditAssOptions(choices)) {
        auto picked = AssOptionsOf(choices, m_ass);
        if (std::holds_alternative<AssOptions>(picked)) {
            m_ass = std::get<AssOptions>(std::move(picked));
            return;
        }
        m_view.ShowWarning(std::get<std::string>(picked));
    }
}

void ConverterController::OnStart() {
    if (IsRunActive()) {
        return;
    }
    UpdateData(Exchange::FromControls);
    const DialogOptions options = m_view.GetOptions();
    RunRequest request;
    request.sourceDir = ExpandHome(m_strSourceDir);
    request.targetDir = ExpandHome(m_strTargetDir);
    request.author = m_strAuthor;
    request.format = options.format;
    request.chinese = options.chinese;
    DocumentOptions chosen;
    chosen.lrc.style = options.lrcStyle;
    chosen.ass = m_ass;
    const std::optional<std::int64_t> shift = ShiftOfText(m_strShift);
    if (!shift && TimesCanMove(options.format)) {
        const std::string said = DescribeShiftNotANumber(m_strShift);
        Refuse(said, said);
        return;
    }
    chosen.timing.shift = shift.value_or(0);
    // What the format does not take stays as a run without options has it: the controls of the
    // rest are disabled, and keep their values for another format.
    request.document = OptionsFor(options.format, chosen);
    const std::optional<InputEncoding> encoding = InputEncoding::FromName(options.encoding);
    if (!encoding) {
        // Only a build or a system without that code page gets here.
        const std::string said = DescribeUnknownEncoding(options.encoding, Language::Chinese);
        Refuse(said, said);
        return;
    }
    request.encoding = *encoding;
    if (const RequestCheck check = ValidateRequest(request); !check.ok()) {
        Refuse(RequestErrorHeadline(check),
               DescribeRequestError(check, request, Language::Chinese));
        return;
    }
    if (!m_monitor.Start(std::move(request))) {
        return; // no thread: the buttons stay as they are
    }
    m_view.SetRunning(true);
    m_view.EnableDetails(false);
    m_view.SetProblemTip({});
    m_view.SetFrameTimer(true);
}

void ConverterController::Refuse(const std::string& said, const std::string& reason) {
    // What the bar showed of the last run goes: a time and counts beside a refusal would read as
    // its own.
    m_view.SetBarText(said);
    m_strElapsed.clear();
    UpdateData(Exchange::ToControls);
    m_view.SetProblemTip({});
    // The bar holds a line of its own width; a path and a cause are said whole, in a box.
    if (reason != said) {
        m_view.ShowWarning(reason);
    }
}

void ConverterController::OnStop() {
    m_monitor.RequestStop();
}

void ConverterController::OnCancel() {
    m_monitor.RequestExit();
    if (!IsRunActive()) {
        Close();
    }
}

void ConverterController::OnDetails() {
    if (!IsRunActive()) { // the summary belongs to the worker until it has returned
        m_view.ShowProblems(m_summary.problems);
    }
}

void ConverterController::OnFrame() {
    const std::optional<RunMonitor::Snapshot> snapshot = m_monitor.TakeSnapshot();
    if (!snapshot) {
        return;
    }
    if (snapshot->positionChanged) {
        m_view.SetPos(snapshot->position);
    }
    m_view.SetBarText(snapshot->text);
    // The elapsed text keeps its last value until the first file of a run is done.
    if (!snapshot->elapsed.empty()) {
        m_strElapsed = snapshot->elapsed;
    }
    // Every frame writes the fields back, so text typed into the boxes during a run is replaced.
    UpdateData(Exchange::ToControls);
}

void ConverterController::OnRunFinished() {
    if (!IsRunActive()) {
        return;
    }
    m_summary = m_monitor.Finish();
    m_view.SetFrameTimer(false);
    OnFrame();
    m_view.SetProblemTip(ProblemCountsText(m_summary));
    m_view.EnableDetails(!m_summary.problems.empty());
    m_view.SetRunning(false);
    // Read now, as the run ends: the box may have been ticked or cleared meanwhile.
    if (m_view.GetOptions().openTarget) {
        if (const OpenFolderResult opened = m_openFolder(m_summary.target); !opened.ok()) {
            m_view.ShowWarning(DescribeOpenFailure(m_summary.target, opened, Language::Chinese));
        }
    }
    if (m_monitor.ExitRequested()) {
        Close();
    }
}

DialogChoices ConverterController::CurrentChoices() {
    UpdateData(Exchange::FromControls);
    return {m_strSourceDir, m_strTargetDir, m_strAuthor, m_strShift, m_view.GetOptions(), m_ass};
}

void ConverterController::Close() {
    // Only ever without a run: an Exit during one closes the window when the worker has returned.
    if (!StoreChoices(CurrentChoices(), m_store)) {
        m_view.ShowWarning(DescribeChoicesNotKept(m_store.Location(), Language::Chinese));
    }
    m_view.CloseWindow();
}

} // namespace tolvren
