#include "ui/ConverterDialog.h"

#include "batch/Messages.h"
#include "ui/AboutDialog.h"
#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"
#include "ui/TextProgressCtrl.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <system_error>

namespace tolvren {

namespace {

// Engine paths are file-system bytes; the window shows them as text.
std::string ToPath(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

QString FromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString FromText(const std::string& text) {
    return QString::fromStdString(text);
}

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

constexpr int kMaxListedProblems = 20;

// The window shows the newest state of a run this often; nobody sees more than one per frame.
constexpr int kFrameMs = 16;

} // namespace

ConverterDialog::ConverterDialog(RunFunction runFunction, QWidget* parent)
    : QDialog(parent), m_runFunction(std::move(runFunction)) {
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
    about->setObjectName(QStringLiteral("aboutAction"));
    about->setShortcut(QKeySequence::HelpContents);
    connect(about, &QAction::triggered, this, &ConverterDialog::OnAbout);
    addAction(separator);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_radioKmc->setChecked(true);
    m_btnStop->setEnabled(false);
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
    setFixedSize(du.Size(301, 138));

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
    m_radioKmc = new QRadioButton(QStringLiteral("KMC"), this);
    place(m_radioKmc, ids::kKmcRadio, 59, 76, 28, 10);
    m_radioXml = new QRadioButton(QStringLiteral("XML"), this);
    place(m_radioXml, ids::kXmlRadio, 97, 76, 28, 10);
    m_checkOpenTarget = new QCheckBox(QStringLiteral("打开目标目录"), this);
    place(m_checkOpenTarget, ids::kOpenTargetCheck, 174, 76, 64, 10);
    m_btnStart = new QPushButton(QStringLiteral("开始(&S)"), this);
    place(m_btnStart, ids::kStart, 59, 110, 50, 14);
    m_btnStart->setDefault(true);
    m_btnStop = new QPushButton(QStringLiteral("停止(&T)"), this);
    place(m_btnStop, ids::kStop, 123, 110, 50, 14);
    m_btnExit = new QPushButton(QStringLiteral("退出(&X)"), this);
    place(m_btnExit, ids::kExit, 187, 110, 50, 14);
    auto* group = new QGroupBox(QStringLiteral("转换"), this);
    place(group, nullptr, 7, 7, 287, 124);
    group->lower(); // a frame behind the controls, not a cover over them
    label(QStringLiteral("KSC路径："), 18, 26, 36, m_editSource);
    label(QStringLiteral("KMC路径："), 18, 43, 36, m_editTarget);
    auto* browseSource = new QPushButton(QStringLiteral("浏览"), this);
    place(browseSource, ids::kBrowseSource, 242, 22, 49, 14);
    browseSource->setAccessibleName(QStringLiteral("浏览 KSC路径"));
    auto* browseTarget = new QPushButton(QStringLiteral("浏览"), this);
    place(browseTarget, ids::kBrowseTarget, 242, 41, 49, 14);
    browseTarget->setAccessibleName(QStringLiteral("浏览 KMC路径"));
    label(QStringLiteral("文件后缀："), 14, 77, 40, m_radioKmc);
    m_progress = new TextProgressCtrl(this);
    place(m_progress, ids::kProgress, 60, 90, 178, 14);
    m_progress->setAccessibleName(QStringLiteral("转换进度"));
    m_staticElapsed = new QLabel(this);
    m_staticElapsed->setTextFormat(Qt::PlainText);
    place(m_staticElapsed, ids::kElapsed, 245, 92, 42, 12);
    m_staticElapsed->setAccessibleName(QStringLiteral("用时"));
    label(QStringLiteral("转换进度："), 14, 93, 40, m_progress);
    label(QStringLiteral("作者："), 30, 60, 25, m_editAuthor);
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    place(icon, ids::kIcon, 32, 105, 20, 20);

    // Buttons of a QDialog otherwise take over Enter whenever they have the focus; Start stays
    // the button that Enter presses.
    for (QPushButton* button : {m_btnStop, m_btnExit, browseSource, browseTarget}) {
        button->setAutoDefault(false);
    }

    connect(browseSource, &QPushButton::clicked, this, &ConverterDialog::OnBrowseSource);
    connect(browseTarget, &QPushButton::clicked, this, &ConverterDialog::OnBrowseTarget);
    connect(m_btnStart, &QPushButton::clicked, this, &ConverterDialog::OnStart);
    connect(m_btnStop, &QPushButton::clicked, this, &ConverterDialog::OnStop);
    connect(m_btnExit, &QPushButton::clicked, this, &ConverterDialog::reject);

    m_editSource->installEventFilter(this);

    // The worker asks for these once per run, from its own thread.
    connect(m_radioKmc, &QRadioButton::toggled, this,
            [this](bool kmc) { m_format = kmc ? OutputFormat::Kmc : OutputFormat::Xml; });
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
    m_request.sourceDir = ToPath(m_strSourceDir);
    m_request.targetDir = ToPath(m_strTargetDir);
    m_request.author = m_strAuthor.toStdString();
    if (const RequestCheck check = ValidateRequest(m_request); !check.ok()) {
        // Nothing starts; the bar says what is missing.
        m_progress->SetWindowText(
            FromText(DescribeRequestError(check, m_request, Language::Chinese)));
        return;
    }
    m_control.Start();
    m_snapshot = {};
    m_btnStart->setEnabled(false);
    m_btnStop->setEnabled(true);
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
    m_btnStart->setEnabled(true);
    m_btnStop->setEnabled(false);
    std::string folder;
    {
        std::lock_guard lock(m_snapshotMutex);
        folder.swap(m_snapshot.folderToOpen);
    }
    if (!folder.empty()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(folder)));
    }
    if (m_control.m_bExitRequested) {
        QDialog::reject();
    }
}

QString ConverterDialog::ProblemSummary() const {
    QStringList lines;
    int listed = 0;
    for (const RunProblem& problem : m_summary.problems) {
        if (++listed > kMaxListedProblems) {
            continue;
        }
        lines << QStringLiteral("%1：%2").arg(FromPath(problem.path),
                                              FromText(DescribeReason(problem, Language::Chinese)));
    }
    if (listed == 0) {
        return {};
    }
    if (listed > kMaxListedProblems) {
        lines << QStringLiteral("……另有 %1 个").arg(listed - kMaxListedProblems);
    }
    lines.prepend(m_summary.failed > 0 ? QStringLiteral("未能转换的文件和其他问题：")
                                       : QStringLiteral("转换时的问题："));
    return lines.join(QLatin1Char('\n'));
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
