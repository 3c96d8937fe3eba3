#include "ui/ConverterDialog.h"

#include "ui/AboutDialog.h"
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
#include <QThread>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <memory>
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

} // namespace

ConverterDialog::ConverterDialog(RunFunction runFunction, QWidget* parent)
    : QDialog(parent), m_runFunction(runFunction) {
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

    m_run.m_pFrontEnd = this;
    m_radioKmc->setChecked(true);
    m_btnStop->setEnabled(false);
}

ConverterDialog::~ConverterDialog() {
    {
        std::lock_guard lock(m_callMutex);
        m_bTearingDown = true;
    }
    m_callDone.notify_all();
    // The worker finishes the file it is converting, finds the flags and returns; its calls into
    // the window return at once from now on, so it cannot wait for this thread.
    m_run.m_bRunning = 0;
    m_run.m_bExitRequested = 1;
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void ConverterDialog::CreateControls() {
    const DialogUnits du(font());
    setFixedSize(du.Size(301, 138));

    auto place = [&du](QWidget* control, int id, int x, int y, int w, int h) {
        if (id != -1) {
            control->setObjectName(QString::number(id));
        }
        control->setGeometry(du.Rect(x, y, w, h));
    };
    auto edit = [this, &place](int id, int y, const QString& name) {
        auto* control = new QLineEdit(this);
        place(control, id, 59, y, 179, 13);
        control->setAccessibleName(name);
        return control;
    };
    auto label = [this, &place](const QString& text, int x, int y, int w, QWidget* buddy) {
        auto* control = new QLabel(text, this);
        control->setTextFormat(Qt::PlainText);
        place(control, -1, x, y, w, 8);
        control->setBuddy(buddy);
        return control;
    };

    // Created in tab order; the labels and the group box take no focus.
    m_editSource = edit(1001, 22, QStringLiteral("KSC路径"));
    m_editTarget = edit(1002, 40, QStringLiteral("KMC路径"));
    m_editAuthor = edit(1006, 58, QStringLiteral("作者"));
    m_radioKmc = new QRadioButton(QStringLiteral("KMC"), this);
    place(m_radioKmc, 1007, 59, 76, 28, 10);
    m_radioXml = new QRadioButton(QStringLiteral("XML"), this);
    place(m_radioXml, 1008, 97, 76, 28, 10);
    m_checkOpenTarget = new QCheckBox(QStringLiteral("打开目标目录"), this);
    place(m_checkOpenTarget, 1013, 174, 76, 64, 10);
    m_btnStart = new QPushButton(QStringLiteral("开始(&S)"), this);
    place(m_btnStart, 1005, 59, 110, 50, 14);
    m_btnStart->setDefault(true);
    m_btnStop = new QPushButton(QStringLiteral("停止(&T)"), this);
    place(m_btnStop, 1009, 123, 110, 50, 14);
    m_btnExit = new QPushButton(QStringLiteral("退出(&X)"), this);
    place(m_btnExit, 2, 187, 110, 50, 14);
    auto* group = new QGroupBox(QStringLiteral("转换"), this);
    place(group, -1, 7, 7, 287, 124);
    group->lower(); // a frame behind the controls, not a cover over them
    label(QStringLiteral("KSC路径："), 18, 26, 36, m_editSource);
    label(QStringLiteral("KMC路径："), 18, 43, 36, m_editTarget);
    auto* browseSource = new QPushButton(QStringLiteral("浏览"), this);
    place(browseSource, 1003, 242, 22, 49, 14);
    browseSource->setAccessibleName(QStringLiteral("浏览 KSC路径"));
    auto* browseTarget = new QPushButton(QStringLiteral("浏览"), this);
    place(browseTarget, 1004, 242, 41, 49, 14);
    browseTarget->setAccessibleName(QStringLiteral("浏览 KMC路径"));
    label(QStringLiteral("文件后缀："), 14, 77, 40, m_radioKmc);
    m_progress = new TextProgressCtrl(this);
    place(m_progress, 1010, 60, 90, 178, 14);
    m_progress->setAccessibleName(QStringLiteral("转换进度"));
    m_staticElapsed = new QLabel(this);
    m_staticElapsed->setTextFormat(Qt::PlainText);
    place(m_staticElapsed, 1011, 245, 92, 42, 12);
    m_staticElapsed->setAccessibleName(QStringLiteral("用时"));
    label(QStringLiteral("转换进度："), 14, 93, 40, m_progress);
    label(QStringLiteral("作者："), 30, 60, 25, m_editAuthor);
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    place(icon, 1014, 32, 105, 20, 20);

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

    // Both signals come from the worker's thread and are delivered on this one.
    connect(this, &ConverterDialog::CallsQueued, this, &ConverterDialog::RunDeferred,
            Qt::QueuedConnection);
    connect(this, &ConverterDialog::WorkerReturned, this, &ConverterDialog::OnRunFinished,
            Qt::QueuedConnection);

    m_paintTimer.setSingleShot(true);
    connect(&m_paintTimer, &QTimer::timeout, this, [this] {
        QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    });
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
    m_run.m_strSourceDir = ToPath(m_strSourceDir);
    m_run.m_strTargetDir = ToPath(m_strTargetDir);
    m_run.m_strAuthor = m_strAuthor.toStdString();
    if (!m_run.PrepareStart()) {
        return;
    }
    m_run.m_problems.clear();
    m_run.m_nFailed = 0;
    m_btnStart->setEnabled(false);
    m_btnStop->setEnabled(true);
    try {
        m_worker = std::thread([this] {
            m_runFunction(m_run);
            std::lock_guard lock(m_callMutex);
            if (!m_bTearingDown) {
                emit WorkerReturned();
            }
        });
    } catch (const std::system_error&) {
        // Without a thread nobody would ever give the buttons back.
        m_run.m_bRunning = 0;
        m_btnStart->setEnabled(true);
        m_btnStop->setEnabled(false);
    }
}

bool ConverterDialog::event(QEvent* event) {
    // During a run the bar and the elapsed time change after every file, thousands of times a
    // second, and painting them each time would cost more than converting the files. So the
    // window paints at most once a frame then: a paint request that comes too soon is held back
    // (the regions stay marked) and made when the frame is due.
    constexpr int kFrameMs = 16;
    if (event->type() == QEvent::UpdateRequest && IsRunActive()) {
        const qint64 sinceLast = m_lastPaint.isValid() ? m_lastPaint.elapsed() : kFrameMs;
        if (sinceLast < kFrameMs) {
            if (!m_paintTimer.isActive()) {
                m_paintTimer.start(static_cast<int>(kFrameMs - sinceLast));
            }
            return true;
        }
        m_lastPaint.restart();
    }
    return QDialog::event(event);
}

void ConverterDialog::OnStop() {
    m_run.m_bRunning = 0;
}

void ConverterDialog::OnCancel() {
    m_run.m_bExitRequested = 1;
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

void ConverterDialog::OnRunFinished() {
    // The worker has made its last call; what is left of its thread is the return.
    m_worker.join();
    RunDeferred();
    m_progress->setToolTip(ProblemSummary());
    m_btnStart->setEnabled(true);
    m_btnStop->setEnabled(false);
    if (m_run.m_bExitRequested != 0) {
        QDialog::reject();
    }
}

QString ConverterDialog::ProblemSummary() const {
    QStringList lines;
    int listed = 0;
    for (const RunProblem& problem : m_run.m_problems) {
        if (++listed > kMaxListedProblems) {
            continue;
        }
        if (problem.kind == RunProblem::Kind::Failed) {
            lines << QStringLiteral("%1：%2").arg(FromPath(problem.path), FromText(problem.reason));
        } else {
            lines << QStringLiteral("%1：覆盖了 %2 的结果 %3")
                         .arg(FromPath(problem.path), FromPath(problem.otherPath),
                              FromPath(problem.targetPath));
        }
    }
    if (listed == 0) {
        return {};
    }
    if (listed > kMaxListedProblems) {
        lines << QStringLiteral("……另有 %1 个").arg(listed - kMaxListedProblems);
    }
    lines.prepend(m_run.m_nFailed > 0 ? QStringLiteral("未能转换的文件：")
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

template <typename Call>
std::invoke_result_t<Call&> ConverterDialog::CallOnGui(Call call) {
    using Result = std::invoke_result_t<Call&>;
    if (QThread::currentThread() == thread()) {
        RunDeferred();
        return call();
    }
    // Shared, so that a call abandoned by a closing window writes into nobody's stack.
    struct Pending {
        std::conditional_t<std::is_void_v<Result>, bool, Result> result{};
        std::atomic<bool> done{false};
    };
    auto pending = std::make_shared<Pending>();
    {
        // The call travels in the queue that m_callMutex guards, never inside a Qt event: every
        // byte the two threads share then passes through a lock of ours, which is also what lets
        // ThreadSanitizer see the hand-over (Debian's Qt is not instrumented).
        std::lock_guard lock(m_callMutex);
        if (m_bTearingDown) {
            if constexpr (std::is_void_v<Result>) {
                return;
            } else {
                return pending->result;
            }
        }
        m_deferred.emplace_back([this, pending, call = std::move(call)]() mutable {
            if constexpr (std::is_void_v<Result>) {
                call();
            } else {
                pending->result = call();
            }
            {
                std::lock_guard doneLock(m_callMutex);
                pending->done = true;
            }
            m_callDone.notify_all();
        });
    }
    emit CallsQueued();
    // The window usually answers within a few tens of microseconds. Waiting that long awake spares
    // the worker a sleep and a wake-up, which is most of what a hand-over costs per file.
    const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
    while (!pending->done.load() && std::chrono::steady_clock::now() < spinUntil) {
        std::this_thread::yield();
    }
    std::unique_lock lock(m_callMutex);
    m_callDone.wait(lock, [&] { return pending->done.load() || m_bTearingDown; });
    if constexpr (!std::is_void_v<Result>) {
        return pending->result;
    }
}

void ConverterDialog::Defer(std::function<void()> call) {
    if (QThread::currentThread() == thread()) {
        RunDeferred();
        call();
        return;
    }
    std::lock_guard lock(m_callMutex);
    if (!m_bTearingDown) {
        m_deferred.push_back(std::move(call));
    }
}

void ConverterDialog::RunDeferred() {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(m_callMutex);
        calls.swap(m_deferred);
    }
    for (auto& call : calls) {
        call();
    }
}

bool ConverterDialog::IsKmcChecked() {
    return CallOnGui([this] { return m_radioKmc->isChecked(); });
}

bool ConverterDialog::IsOpenTargetChecked() {
    return CallOnGui([this] { return m_checkOpenTarget->isChecked(); });
}

void ConverterDialog::SetProgressRange(int lower, int upper) {
    Defer([this, lower, upper] { m_progress->SetRange(lower, upper); });
}

void ConverterDialog::SetProgressPos(int pos) {
    Defer([this, pos] { m_progress->SetPos(pos); });
}

void ConverterDialog::SetProgressText(const std::string& text) {
    Defer([this, caption = FromText(text)] { m_progress->SetWindowText(caption); });
}

void ConverterDialog::UpdateElapsed(const std::string& elapsed) {
    CallOnGui([this, value = FromText(elapsed)] {
        m_strElapsed = value;
        UpdateData(false);
    });
}

void ConverterDialog::SetStartEnabled(bool enabled) {
    // Start comes back in OnRunFinished, once the thread can be joined: a run started before
    // that would have its flag cleared by the finishing worker, and Exit would close a window
    // the worker still calls into.
    if (!enabled) {
        CallOnGui([this] { m_btnStart->setEnabled(false); });
    }
}

void ConverterDialog::SetStopEnabled(bool enabled) {
    CallOnGui([this, enabled] { m_btnStop->setEnabled(enabled); });
}

void ConverterDialog::ReportProblem(const RunProblem& /*problem*/) {
    // The run's problems are read from m_run.m_problems once the worker has returned.
}

void ConverterDialog::OpenFolder(const std::string& folder) {
    CallOnGui([url = QUrl::fromLocalFile(FromPath(folder))] { QDesktopServices::openUrl(url); });
}

void ConverterDialog::CloseAfterRun() {
    // OnRunFinished closes the window after joining the thread; m_bExitRequested says so.
}

} // namespace tolvren
