#include "ui/ConverterDialog.h"

#include "batch/Messages.h"
#include "ui/AboutDialog.h"
#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"
#include "ui/PathText.h"
#include "ui/ProblemListDialog.h"
#include "ui/TextProgressCtrl.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <algorithm>
#include <optional>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace tolvren {

namespace {

// A folder dropped from a file manager, or "" when the drop holds anything else.
QString DroppedFolder(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) {
        return {};
    }
    const QUrl url = mime->urls().front();
    if (!url.isLocalFile()) {
        return {};
    }
    const QFileInfo info(url.toLocalFile());
    return info.isDir() ? QDir::cleanPath(info.absoluteFilePath()) : QString();
}

// A leading "~" is the home folder, as a shell reads a typed path; "~user" and a "~" further on
// stay as typed.
QString ExpandHome(const QString& typed) {
    if (typed != QLatin1Char('~') && !typed.startsWith(QLatin1String("~/"))) {
        return typed;
    }
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty()) {
        // What a shell falls back on when HOME is not set.
        if (const passwd* user = ::getpwuid(::getuid()); user != nullptr) {
            home = QFile::decodeName(user->pw_dir);
        }
    }
    return home.isEmpty() ? typed : home + typed.mid(1);
}

// The encodings the window offers for scripts without a byte-order mark, by the names
// InputEncoding::FromName takes.
struct EncodingChoice {
    const char* text;
    const char* name;
};
constexpr EncodingChoice kEncodings[] = {
    {"自动", "auto"}, {"GBK", "gbk"}, {"GB18030", "gb18030"}, {"Big5", "big5"}, {"UTF-8", "utf-8"}};
constexpr int kDefaultEncoding = 1; // GBK, as tolvren-cli reads scripts without -e

// The window shows the newest state of a run this often; nobody sees more than one per frame.
constexpr int kFrameMs = 16;

} // namespace

ConverterDialog::ConverterDialog(RunFunction runFunction, QWidget* parent)
    : QDialog(parent), m_folderOpener([](const QString& folder) {
          return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
      }),
      m_runFunction(std::move(runFunction)) {
    setWindowTitle(QStringLiteral("Tolvren 批量转换器"));
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont());
    CreateControls();

    // Linux desktops have no per-window system menu: the About entry lives in the window's
    // context menu and on F1.
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    auto* about = new QAction(QStringLiteral("关于 Tolvren(&A)..."), this);
    about->setObjectName(QLatin1String(ids::kAboutAction));
    about->setShortcut(QKeySequence::HelpContents);
    connect(about, &QAction::triggered, this, &ConverterDialog::OnAbout);
    addAction(separator);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_radioKmc->setChecked(true);
    m_btnStop->setEnabled(false);
    m_btnDetails->setEnabled(false);
}

ConverterDialog::~ConverterDialog() {
    {
        std::lock_guard lock(m_snapshotMutex);
        m_bTearingDown = true;
    }
    // The worker finishes the file it is converting, finds the flags and returns; it never waits
    // for this thread, so the join ends.
    m_control.m_bRunning = false;
    m_control.m_bExitRequested = true;
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void ConverterDialog::CreateControls() {
    const DialogUnits du(font());
    setFixedSize(du.Size(301, 156));

    auto place = [&du](QWidget* control, const char* id, int x, int y, int w, int h) {
        if (id != nullptr) {
            control->setObjectName(QLatin1String(id));
        }
        control->setGeometry(du.Rect(x, y, w, h));
    };
    auto edit = [this, &place](const char* id, int y, const QString& name) {
        auto* control = new QLineEdit(this);
        place(control, id, 59, y, 179, 13);
        control->setAccessibleName(name);
        return control;
    };
    auto radio = [this, &place](const char* id, const QString& text, int x) {
        auto* control = new QRadioButton(text, this);
        place(control, id, x, 76, 28, 10);
        return control;
    };
    auto button = [this, &place](const char* id, const QString& text, int x, int y, int w) {
        auto* control = new QPushButton(text, this);
        place(control, id, x, y, w, 14);
        // Buttons of a QDialog otherwise take over Enter whenever they have the focus; Start
        // stays the button that Enter presses.
        control->setAutoDefault(false);
        return control;
    };
    auto label = [this, &place](const QString& text, int x, int y, int w, QWidget* buddy) {
        auto* control = new QLabel(text, this);
        control->setTextFormat(Qt::PlainText);
        place(control, nullptr, x, y, w, 8);
        control->setBuddy(buddy);
        return control;
    };

    // Created in tab order; the labels and the group box take no focus.
    m_editSource = edit(ids::kSourceEdit, 22, QStringLiteral("KSC路径"));
    m_editTarget = edit(ids::kTargetEdit, 40, QStringLiteral("KMC路径"));
    m_editAuthor = edit(ids::kAuthorEdit, 58, QStringLiteral("作者"));
    m_radioKmc = radio(ids::kKmcRadio, QStringLiteral("KMC"), 59);
    m_radioXml = radio(ids::kXmlRadio, QStringLiteral("XML"), 97);
    QRadioButton* radioLrc = radio(ids::kLrcRadio, QStringLiteral("LRC"), 135);
    QRadioButton* radioAss = radio(ids::kAssRadio, QStringLiteral("ASS"), 173);
    m_comboEncoding = new QComboBox(this);
    place(m_comboEncoding, ids::kEncodingCombo, 59, 93, 66, 13);
    m_comboEncoding->setAccessibleName(QStringLiteral("编码"));
    for (const EncodingChoice& choice : kEncodings) {
        m_comboEncoding->addItem(QString::fromUtf8(choice.text), QLatin1String(choice.name));
    }
    m_comboEncoding->setCurrentIndex(kDefaultEncoding);
    m_checkOpenTarget = new QCheckBox(QStringLiteral("打开目标目录"), this);
    place(m_checkOpenTarget, ids::kOpenTargetCheck, 174, 94, 64, 10);
    m_btnStart = button(ids::kStart, QStringLiteral("开始(&S)"), 59, 128, 50);
    m_btnStart->setAutoDefault(true);
    m_btnStart->setDefault(true);
    m_btnStop = button(ids::kStop, QStringLiteral("停止(&T)"), 123, 128, 50);
    m_btnExit = button(ids::kExit, QStringLiteral("退出(&X)"), 187, 128, 50);
    m_btnDetails = button(ids::kDetails, QStringLiteral("详情(&D)…"), 242, 128, 49);
    m_btnDetails->setAccessibleName(QStringLiteral("转换问题详情"));
    auto* group = new QGroupBox(QStringLiteral("转换"), this);
    place(group, nullptr, 7, 7, 287, 142);
    group->lower(); // a frame behind the controls, not a cover over them
    label(QStringLiteral("KSC路径："), 18, 26, 36, m_editSource);
    label(QStringLiteral("KMC路径："), 18, 43, 36, m_editTarget);
    QPushButton* browseSource = button(ids::kBrowseSource, QStringLiteral("浏览"), 242, 22, 49);
    browseSource->setAccessibleName(QStringLiteral("浏览 KSC路径"));
    QPushButton* browseTarget = button(ids::kBrowseTarget, QStringLiteral("浏览"), 242, 41, 49);
    browseTarget->setAccessibleName(QStringLiteral("浏览 KMC路径"));
    label(QStringLiteral("文件后缀："), 14, 77, 40, m_radioKmc);
    label(QStringLiteral("编码："), 30, 95, 25, m_comboEncoding);
    m_progress = new TextProgressCtrl(this);
    place(m_progress, ids::kProgress, 60, 110, 178, 14);
    m_progress->setAccessibleName(QStringLiteral("转换进度"));
    m_staticElapsed = new QLabel(this);
    m_staticElapsed->setTextFormat(Qt::PlainText);
    place(m_staticElapsed, ids::kElapsed, 245, 112, 42, 12);
    m_staticElapsed->setAccessibleName(QStringLiteral("用时"));
    label(QStringLiteral("转换进度："), 14, 113, 40, m_progress);
    label(QStringLiteral("作者："), 30, 60, 25, m_editAuthor);
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    place(icon, ids::kIcon, 32, 125, 20, 20);

    connect(browseSource, &QPushButton::clicked, this, &ConverterDialog::OnBrowseSource);
    connect(browseTarget, &QPushButton::clicked, this, &ConverterDialog::OnBrowseTarget);
    connect(m_btnStart, &QPushButton::clicked, this, &ConverterDialog::OnStart);
    connect(m_btnStop, &QPushButton::clicked, this, &ConverterDialog::OnStop);
    connect(m_btnExit, &QPushButton::clicked, this, &ConverterDialog::reject);
    connect(m_btnDetails, &QPushButton::clicked, this, &ConverterDialog::OnDetails);

    m_editSource->installEventFilter(this);

    // The worker asks for these once per run, from its own thread: the format at the start, "open
    // the target folder" at the end.
    m_formatGroup = new QButtonGroup(this);
    for (const auto& [control, format] :
         {std::pair{m_radioKmc, OutputFormat::Kmc}, std::pair{m_radioXml, OutputFormat::Xml},
          std::pair{radioLrc, OutputFormat::Lrc}, std::pair{radioAss, OutputFormat::Ass}}) {
        m_formatGroup->addButton(control, static_cast<int>(format));
    }
    connect(m_formatGroup, &QButtonGroup::idToggled, this, [this](int format, bool checked) {
        if (checked) {
            m_format = static_cast<OutputFormat>(format);
        }
    });
    connect(m_checkOpenTarget, &QCheckBox::toggled, this,
            [this](bool checked) { m_bOpenTarget = checked; });

    // From the worker's thread, delivered on this one.
    connect(this, &ConverterDialog::WorkerReturned, this, &ConverterDialog::OnRunFinished,
            Qt::QueuedConnection);
    m_refreshTimer.setInterval(kFrameMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ConverterDialog::ShowSnapshot);
}

namespace {

template <typename Control>
void SetTextIfChanged(Control* control, const QString& text) {
    if (control->text() != text) {
        control->setText(text);
    }
}

} // namespace

void ConverterDialog::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_strSourceDir = m_editSource->text();
        m_strTargetDir = m_editTarget->text();
        m_strElapsed = m_staticElapsed->text();
        m_strAuthor = m_editAuthor->text();
    } else {
        // Only what differs is written: the refresh after every file then costs nothing for
        // boxes nobody touched, while anything typed into them during a run is still replaced.
        SetTextIfChanged(m_editSource, m_strSourceDir);
        SetTextIfChanged(m_editTarget, m_strTargetDir);
        SetTextIfChanged(m_staticElapsed, m_strElapsed);
        SetTextIfChanged(m_editAuthor, m_strAuthor);
    }
}

void ConverterDialog::OnBrowseSource() {
    const QString folder = m_folderPicker(this);
    if (!folder.isEmpty()) {
        ApplySourceFolder(folder);
    }
}

void ConverterDialog::OnBrowseTarget() {
    const QString folder = m_folderPicker(this);
    if (folder.isEmpty()) {
        return;
    }
    // What the user typed into the other boxes is kept: the refresh below writes every field.
    UpdateData(true);
    m_strTargetDir = folder;
    UpdateData(false);
}

void ConverterDialog::ApplySourceFolder(const QString& folder) {
    UpdateData(true);
    m_strSourceDir = folder;
    if (!m_strSourceDir.endsWith(QLatin1Char('/'))) {
        m_strSourceDir += QLatin1Char('/');
    }
    // The proposal: a "kmc" folder inside the source, replacing any target chosen before.
    m_strTargetDir = m_strSourceDir + QStringLiteral("kmc");
    UpdateData(false);
}

void ConverterDialog::OnStart() {
    if (IsRunActive()) {
        return;
    }
    UpdateData(true);
    m_request.sourceDir = ToPath(ExpandHome(m_strSourceDir));
    m_request.targetDir = ToPath(ExpandHome(m_strTargetDir));
    m_request.author = m_strAuthor.toStdString();
    const std::optional<InputEncoding> encoding =
        InputEncoding::FromName(m_comboEncoding->currentData().toString().toStdString());
    if (!encoding) {
        // Only an ICU built without that code page gets here.
        m_progress->SetWindowText(
            QStringLiteral("无法使用编码 %1").arg(m_comboEncoding->currentText()));
        return;
    }
    m_request.encoding = *encoding;
    if (const RequestCheck check = ValidateRequest(m_request); !check.ok()) {
        // Nothing starts; the bar says what is missing.
        m_progress->SetWindowText(
            FromText(DescribeRequestError(check, m_request, Language::Chinese)));
        return;
    }
    m_control.Start();
    {
        std::lock_guard lock(m_snapshotMutex);
        m_snapshot = {};
    }
    m_btnStart->setEnabled(false);
    m_btnStop->setEnabled(true);
    m_btnDetails->setEnabled(false);
    m_progress->setToolTip({});
    try {
        m_worker = std::thread([this] {
            m_summary = m_runFunction(m_request, m_control, *this);
            std::lock_guard lock(m_snapshotMutex);
            if (!m_bTearingDown) {
                emit WorkerReturned();
            }
        });
    } catch (const std::system_error&) {
        // Without a thread nobody would ever give the buttons back.
        m_control.m_bRunning = false;
        m_btnStart->setEnabled(true);
        m_btnStop->setEnabled(false);
        return;
    }
    m_refreshTimer.start();
}

void ConverterDialog::OnStop() {
    m_control.m_bRunning = false;
}

void ConverterDialog::OnCancel() {
    m_control.m_bExitRequested = true;
    if (m_btnStart->isEnabled()) {
        QDialog::reject();
    }
}

void ConverterDialog::reject() {
    OnCancel();
}

void ConverterDialog::OnAbout() {
    AboutDialog about(this);
    about.exec();
}

void ConverterDialog::OnDetails() {
    if (IsRunActive()) {
        return; // the summary belongs to the worker until it has returned
    }
    auto* list = new ProblemListDialog(m_summary.problems, this);
    list->setAttribute(Qt::WA_DeleteOnClose);
    list->open();
}

void ConverterDialog::ShowSnapshot() {
    Snapshot snapshot;
    {
        std::lock_guard lock(m_snapshotMutex);
        if (!m_snapshot.changed) {
            return;
        }
        snapshot = m_snapshot;
        m_snapshot.changed = false;
        m_snapshot.positionChanged = false;
    }
    if (snapshot.positionChanged) {
        m_progress->SetPos(snapshot.position);
    }
    m_progress->SetWindowText(FromText(snapshot.text));
    if (!snapshot.elapsed.empty()) {
        m_strElapsed = FromText(snapshot.elapsed);
    }
    // Every refresh writes all fields, so text typed into the boxes during a run is replaced.
    UpdateData(false);
}

void ConverterDialog::OnRunFinished() {
    // The worker has returned; joining makes everything it wrote ours.
    m_worker.join();
    m_refreshTimer.stop();
    ShowSnapshot();
    m_progress->setToolTip(ProblemSummary());
    m_btnDetails->setEnabled(!m_summary.problems.empty());
    m_btnStart->setEnabled(true);
    m_btnStop->setEnabled(false);
    std::string folder;
    {
        std::lock_guard lock(m_snapshotMutex);
        folder.swap(m_snapshot.folderToOpen);
    }
    if (!folder.empty() && !m_folderOpener(FromPath(folder))) {
        auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                    FromText(DescribeOpenFailure(folder, {}, Language::Chinese)),
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    if (m_control.m_bExitRequested) {
        QDialog::reject();
    }
}

QString ConverterDialog::ProblemSummary() const {
    const auto overwritten = std::count_if(
        m_summary.problems.begin(), m_summary.problems.end(),
        [](const RunProblem& problem) { return problem.kind == RunProblem::Kind::Overwritten; });
    QStringList counts;
    if (m_summary.failed > 0) {
        counts << QStringLiteral("%1 个文件未能转换").arg(m_summary.failed);
    }
    if (m_summary.unreadableFolders > 0) {
        counts << QStringLiteral("%1 个文件夹无法读取").arg(m_summary.unreadableFolders);
    }
    if (m_summary.warned > 0) {
        counts << QStringLiteral("%1 个文件有警告").arg(m_summary.warned);
    }
    if (m_summary.skipped > 0) {
        counts << QStringLiteral("%1 个文件已跳过").arg(m_summary.skipped);
    }
    if (overwritten > 0) {
        counts << QStringLiteral("%1 个文档被覆盖").arg(overwritten);
    }
    if (counts.isEmpty()) {
        return {};
    }
    return counts.join(QStringLiteral("，")) + QStringLiteral("。详见“详情…”。");
}

bool ConverterDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_editSource) {
        return QDialog::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!DroppedFolder(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
        // Files and links would otherwise land in the box as "file://" text.
        if (drag->mimeData()->hasUrls()) {
            drag->ignore();
            return true;
        }
        return false;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString folder = DroppedFolder(drop->mimeData());
        if (folder.isEmpty()) {
            return drop->mimeData()->hasUrls();
        }
        drop->acceptProposedAction();
        ApplySourceFolder(folder);
        return true;
    }
    default:
        return false;
    }
}

OutputFormat ConverterDialog::AskFormat() {
    return m_format;
}

bool ConverterDialog::IsOpenTargetChecked() {
    return m_bOpenTarget;
}

void ConverterDialog::ShowScan(int folders, int files) {
    std::lock_guard lock(m_snapshotMutex);
    m_snapshot.text = ScanStatusText(folders, files);
    m_snapshot.changed = true;
}

void ConverterDialog::ShowProgress(const RunProgress& progress) {
    std::lock_guard lock(m_snapshotMutex);
    m_snapshot.position = progress.percentage;
    m_snapshot.positionChanged = true;
    m_snapshot.text = progress.text;
    m_snapshot.elapsed = progress.elapsed;
    m_snapshot.changed = true;
}

void ConverterDialog::ReportProblem(const RunProblem& /*problem*/) {
    // The run's problems are read from its summary once the worker has returned.
}

void ConverterDialog::ShowFinished(const RunSummary& summary) {
    std::lock_guard lock(m_snapshotMutex);
    m_snapshot.text = summary.finalText;
    m_snapshot.changed = true;
}

void ConverterDialog::OpenFolder(const std::string& folder) {
    // Shown by the window's thread once the run has ended.
    std::lock_guard lock(m_snapshotMutex);
    m_snapshot.folderToOpen = folder;
}

} // namespace tolvren
