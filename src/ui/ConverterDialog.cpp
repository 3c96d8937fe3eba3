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
#include <QSettings>
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

// The choices the window was left with, kept in $XDG_CONFIG_HOME/Tolvren/Tolvren.conf.
class SettingsStore : public ChoiceStore {
public:
    std::optional<std::string> Read(std::string_view name) const override {
        const QVariant value = m_settings.value(Key(name));
        return value.isValid() ? std::optional(value.toString().toStdString()) : std::nullopt;
    }
    void Write(std::string_view name, const std::string& value) override {
        m_settings.setValue(Key(name), QString::fromStdString(value));
    }

private:
    static QString Key(std::string_view name) {
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    mutable QSettings m_settings{QStringLiteral("Tolvren"), QStringLiteral("Tolvren")};
};

// The window shows the newest state of a run this often; nobody sees more than one per frame.
constexpr int kFrameMs = 16;

} // namespace

ConverterDialog::ConverterDialog(RunFunction runFunction, QWidget* parent)
    : QDialog(parent), m_folderOpener([](const QString& folder) {
          return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
      }),
      // Called on the worker's thread: the queued connection brings it to this one.
      m_monitor(std::move(runFunction), [this] { emit WorkerReturned(); }) {
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

    m_btnStop->setEnabled(false);
    m_btnDetails->setEnabled(false);
    ApplyChoices(RestoreChoices(SettingsStore()));
}

void ConverterDialog::SetSourceFolder(const QString& folder) {
    ApplySourceFolder(folder);
    m_editSource->selectAll();
}

void ConverterDialog::ApplyChoices(const DialogChoices& choices) {
    m_strSourceDir = FromText(choices.sourceDir);
    m_strTargetDir = FromText(choices.targetDir);
    m_strAuthor = FromText(choices.author);
    UpdateData(Exchange::ToControls);
    // The first box has the focus: typing replaces a restored folder, as in a Windows dialog.
    m_editSource->selectAll();
    m_formatGroup->button(static_cast<int>(choices.format))->setChecked(true);
    m_comboEncoding->setCurrentIndex(
        m_comboEncoding->findData(QString::fromStdString(choices.encoding)));
    m_checkOpenTarget->setChecked(choices.openTarget);
}

DialogChoices ConverterDialog::CurrentChoices() {
    UpdateData(Exchange::FromControls);
    return {m_strSourceDir.toStdString(),
            m_strTargetDir.toStdString(),
            m_strAuthor.toStdString(),
            static_cast<OutputFormat>(m_formatGroup->checkedId()),
            m_comboEncoding->currentData().toString().toStdString(),
            m_checkOpenTarget->isChecked()};
}

void ConverterDialog::Close() {
    // Only ever without a run: an Exit during one closes the window when the worker has returned.
    SettingsStore store;
    StoreChoices(CurrentChoices(), store);
    QDialog::reject();
}

ConverterDialog::~ConverterDialog() = default; // the monitor ends a run that is still going

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
    for (const EncodingChoice& choice : DialogEncodings()) {
        m_comboEncoding->addItem(QString::fromUtf8(choice.text), QLatin1String(choice.name));
    }
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

    // The format is read from the group when a run starts.
    m_formatGroup = new QButtonGroup(this);
    for (const auto& [control, format] :
         {std::pair{m_radioKmc, OutputFormat::Kmc}, std::pair{m_radioXml, OutputFormat::Xml},
          std::pair{radioLrc, OutputFormat::Lrc}, std::pair{radioAss, OutputFormat::Ass}}) {
        m_formatGroup->addButton(control, static_cast<int>(format));
    }

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

void ConverterDialog::UpdateData(Exchange direction) {
    if (direction == Exchange::FromControls) {
        m_strSourceDir = m_editSource->text();
        m_strTargetDir = m_editTarget->text();
        m_strAuthor = m_editAuthor->text();
    } else {
        // Only what differs is written: the refresh after every file then costs nothing for
        // boxes nobody touched, while anything typed into them during a run is still replaced.
        SetTextIfChanged(m_editSource, m_strSourceDir);
        SetTextIfChanged(m_editTarget, m_strTargetDir);
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
    UpdateData(Exchange::FromControls);
    m_strTargetDir = folder;
    UpdateData(Exchange::ToControls);
}

void ConverterDialog::ApplySourceFolder(const QString& folder) {
    UpdateData(Exchange::FromControls);
    m_strSourceDir = folder;
    if (!m_strSourceDir.endsWith(QLatin1Char('/'))) {
        m_strSourceDir += QLatin1Char('/');
    }
    // The proposal: a "kmc" folder inside the source, replacing any target chosen before.
    m_strTargetDir = m_strSourceDir + QStringLiteral("kmc");
    UpdateData(Exchange::ToControls);
}

void ConverterDialog::OnStart() {
    if (IsRunActive()) {
        return;
    }
    UpdateData(Exchange::FromControls);
    RunRequest request;
    request.sourceDir = ToPath(ExpandHome(m_strSourceDir));
    request.targetDir = ToPath(ExpandHome(m_strTargetDir));
    request.author = m_strAuthor.toStdString();
    const std::optional<InputEncoding> encoding =
        InputEncoding::FromName(m_comboEncoding->currentData().toString().toStdString());
    if (!encoding) {
        // Only an ICU built without that code page gets here.
        m_progress->SetWindowText(FromText(DescribeUnknownEncoding(
            m_comboEncoding->currentText().toStdString(), Language::Chinese)));
        return;
    }
    request.encoding = *encoding;
    if (const RequestCheck check = ValidateRequest(request); !check.ok()) {
        // Nothing starts; the bar says what is missing.
        m_progress->SetWindowText(
            FromText(DescribeRequestError(check, request, Language::Chinese)));
        return;
    }
    request.format = static_cast<OutputFormat>(m_formatGroup->checkedId());
    if (!m_monitor.Start(request)) {
        return; // no thread: the buttons stay as they are
    }
    m_btnStart->setEnabled(false);
    m_btnStop->setEnabled(true);
    m_btnDetails->setEnabled(false);
    m_progress->setToolTip({});
    m_refreshTimer.start();
}

void ConverterDialog::OnStop() {
    m_monitor.RequestStop();
}

void ConverterDialog::OnCancel() {
    m_monitor.RequestExit();
    if (!IsRunActive()) {
        Close();
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
    const std::optional<RunMonitor::Snapshot> snapshot = m_monitor.TakeSnapshot();
    if (!snapshot) {
        return;
    }
    if (snapshot->positionChanged) {
        m_progress->SetPos(snapshot->position);
    }
    m_progress->SetWindowText(FromText(snapshot->text));
    // The elapsed text keeps its last value until the first file of a run is done.
    if (!snapshot->elapsed.empty()) {
        m_staticElapsed->setText(FromText(snapshot->elapsed));
    }
    // Every refresh writes the fields back, so text typed into the boxes during a run is
    // replaced.
    UpdateData(Exchange::ToControls);
}

void ConverterDialog::OnRunFinished() {
    m_summary = m_monitor.Finish();
    m_refreshTimer.stop();
    ShowSnapshot();
    m_progress->setToolTip(FromText(ProblemCountsText(m_summary)));
    m_btnDetails->setEnabled(!m_summary.problems.empty());
    m_btnStart->setEnabled(true);
    m_btnStop->setEnabled(false);
    // Read now, as the run ends: the box may have been ticked or cleared meanwhile.
    if (m_checkOpenTarget->isChecked() && !m_folderOpener(FromPath(m_summary.target))) {
        auto* box =
            new QMessageBox(QMessageBox::Warning, windowTitle(),
                            FromText(DescribeOpenFailure(m_summary.target, {}, Language::Chinese)),
                            QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    if (m_monitor.ExitRequested()) {
        Close();
    }
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

} // namespace tolvren
