#include "ui/ConverterDialog.h"

#include "ui/AboutDialog.h"
#include "ui/AssOptionsDialog.h"
#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"
#include "ui/PathText.h"
#include "ui/ProblemListDialog.h"
#include "ui/TextProgressCtrl.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QUrl>

namespace tolvren {

namespace {

// The window shows the newest state of a run this often; nobody sees more than one per frame.
constexpr int kFrameMs = 16;

QString Key(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// What is dragged onto the source box, as paths: a URL that is no local file stays "", which no
// drop takes.
std::vector<std::string> DraggedPaths(const QMimeData* mime) {
    std::vector<std::string> paths;
    for (const QUrl& url : mime->urls()) {
        paths.push_back(url.isLocalFile() ? ToPath(url.toLocalFile()) : std::string());
    }
    return paths;
}

} // namespace

std::optional<std::string> SettingsStore::Read(std::string_view name) const {
    const QVariant value = m_settings.value(Key(name));
    return value.isValid() ? std::optional(value.toString().toStdString()) : std::nullopt;
}

bool SettingsStore::Write(std::string_view name, const std::string& value) {
    m_settings.setValue(Key(name), QString::fromStdString(value));
    return true; // QSettings writes the file at Flush
}

bool SettingsStore::Flush() {
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}

std::string SettingsStore::Location() const {
    return ToPath(m_settings.fileName());
}

ConverterDialog::ConverterDialog(ConverterController::RunFunction run, QWidget* parent)
    : QDialog(parent), m_controller(*this, m_store, std::move(run)) {
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
    connect(about, &QAction::triggered, this, [this] { AboutDialog(this).exec(); });
    addAction(separator);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_controller.OnInitDialog();
}

void ConverterDialog::CreateControls() {
    const DialogUnits du(font());
    setFixedSize(du.Size(301, 173));

    // A control in dialog units, named for the tests and, when it shows no text of its own, for
    // screen readers.
    auto place = [&du](QWidget* control, const char* id, int x, int y, int w, int h,
                       const QString& name = {}) {
        if (id != nullptr) {
            control->setObjectName(QLatin1String(id));
        }
        control->setGeometry(du.Rect(x, y, w, h));
        control->setAccessibleName(name);
    };
    auto button = [this, &place](const char* id, const QString& text, int x, int y, int w) {
        auto* control = new QPushButton(text, this);
        place(control, id, x, y, w, 14);
        // Buttons of a QDialog otherwise take over Enter whenever they have the focus; Start
        // stays the button that Enter presses.
        control->setAutoDefault(false);
        return control;
    };
    // The labels reach up to their boxes, as in the Windows dialog's template, so that a font
    // wider than SimSun cuts none of them off.
    auto label = [this, &place](const QString& text, int x, int y, int w, QWidget* buddy) {
        auto* control = new QLabel(text, this);
        control->setTextFormat(Qt::PlainText);
        place(control, nullptr, x, y, w, 8);
        control->setBuddy(buddy);
        return control;
    };
    auto edit = [this, &place, &label](const char* id, int y, const QString& name, int labelX,
                                       int labelY) {
        auto* control = new QLineEdit(this);
        place(control, id, 59, y, 179, 13, name);
        label(name + QStringLiteral("："), labelX, labelY, 57 - labelX, control);
        return control;
    };
    // A drop-down list of the controller's entries, its label to the left, named as it.
    auto list = [this, &place, &label](DialogList which, const char* id, const QString& name,
                                       int labelX, int x, int y, int w) {
        auto* control = new QComboBox(this);
        place(control, id, x, y, w, 13, name);
        for (const std::string& entry : ListEntries(which)) {
            control->addItem(FromText(entry));
        }
        m_lists.at(static_cast<std::size_t>(which)) = control;
        label(name + QStringLiteral("："), labelX, y + 2, x - 2 - labelX, control);
        return control;
    };

    // Created in tab order; the labels and the group box take no focus.
    m_editSource = edit(ids::kSourceEdit, 22, QStringLiteral("KSC路径"), 18, 26);
    m_editTarget = edit(ids::kTargetEdit, 40, QStringLiteral("KMC路径"), 18, 43);
    m_editAuthor = edit(ids::kAuthorEdit, 58, QStringLiteral("作者"), 30, 60);
    list(DialogList::Format, ids::kFormatCombo, QStringLiteral("文件后缀"), 14, 59, 74, 66);
    list(DialogList::LrcStyle, ids::kLrcStyleCombo, QStringLiteral("LRC 样式"), 129, 174, 74, 64);
    m_btnAssOptions = button(ids::kAssOptions, QStringLiteral("ASS 选项…"), 242, 73, 49);
    list(DialogList::Encoding, ids::kEncodingCombo, QStringLiteral("编码"), 30, 59, 91, 66);
    m_spinShift = new QSpinBox(this);
    place(m_spinShift, ids::kShiftSpin, 174, 91, 48, 13, QStringLiteral("时间平移（毫秒）"));
    m_spinShift->setRange(static_cast<int>(-kMaxShift), static_cast<int>(kMaxShift));
    list(DialogList::Chinese, ids::kChineseCombo, QStringLiteral("简繁转换"), 14, 59, 108, 100);
    m_checkOpenTarget = new QCheckBox(QStringLiteral("打开目标目录"), this);
    place(m_checkOpenTarget, ids::kOpenTargetCheck, 174, 109, 64, 10);
    m_btnStart = button(ids::kStart, QStringLiteral("开始(&S)"), 59, 145, 50);
    m_btnStart->setAutoDefault(true);
    m_btnStart->setDefault(true);
    m_btnStop = button(ids::kStop, QStringLiteral("停止(&T)"), 123, 145, 50);
    m_btnExit = button(ids::kExit, QStringLiteral("退出(&X)"), 187, 145, 50);
    m_btnDetails = button(ids::kDetails, QStringLiteral("详情(&D)…"), 242, 145, 49);
    m_btnDetails->setAccessibleName(QStringLiteral("转换问题详情"));
    auto* group = new QGroupBox(QStringLiteral("转换"), this);
    place(group, nullptr, 7, 7, 287, 159);
    group->lower(); // a frame behind the controls, not a cover over them
    QPushButton* browseSource = button(ids::kBrowseSource, QStringLiteral("浏览"), 242, 22, 49);
    browseSource->setAccessibleName(QStringLiteral("浏览 KSC路径"));
    QPushButton* browseTarget = button(ids::kBrowseTarget, QStringLiteral("浏览"), 242, 41, 49);
    browseTarget->setAccessibleName(QStringLiteral("浏览 KMC路径"));
    label(QStringLiteral("时间平移："), 129, 93, 43, m_spinShift);
    label(QStringLiteral("毫秒"), 224, 93, 16, nullptr);
    m_progress = new TextProgressCtrl(this);
    place(m_progress, ids::kProgress, 60, 127, 178, 14, QStringLiteral("转换进度"));
    m_staticElapsed = new QLabel(this);
    m_staticElapsed->setTextFormat(Qt::PlainText);
    place(m_staticElapsed, ids::kElapsed, 245, 129, 42, 12, QStringLiteral("用时"));
    label(QStringLiteral("转换进度："), 14, 130, 43, m_progress);
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    place(icon, ids::kIcon, 32, 142, 20, 20);

    connect(List(DialogList::Format), &QComboBox::currentIndexChanged, this,
            [this] { m_controller.OnFormatChanged(); });
    connect(m_btnAssOptions, &QPushButton::clicked, this, [this] { m_controller.OnAssOptions(); });
    connect(browseSource, &QPushButton::clicked, this, [this] { m_controller.OnBrowseSource(); });
    connect(browseTarget, &QPushButton::clicked, this, [this] { m_controller.OnBrowseTarget(); });
    connect(m_btnStart, &QPushButton::clicked, this, [this] { m_controller.OnStart(); });
    connect(m_btnStop, &QPushButton::clicked, this, [this] { m_controller.OnStop(); });
    connect(m_btnExit, &QPushButton::clicked, this, &ConverterDialog::reject);
    connect(m_btnDetails, &QPushButton::clicked, this, [this] { m_controller.OnDetails(); });
    // From the worker's thread, delivered on this one.
    connect(
        this, &ConverterDialog::WorkerReturned, this, [this] { m_controller.OnRunFinished(); },
        Qt::QueuedConnection);
    m_refreshTimer.setInterval(kFrameMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] { m_controller.OnFrame(); });
    m_editSource->installEventFilter(this);
}

void ConverterDialog::reject() {
    m_controller.OnCancel(); // Exit, Esc and the close box
}

bool ConverterDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_editSource) {
        return QDialog::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (ConverterController::AcceptsDrop(DraggedPaths(drag->mimeData()))) {
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
        if (!drop->mimeData()->hasUrls()) {
            return false;
        }
        drop->acceptProposedAction();
        m_controller.OnDrop(DraggedPaths(drop->mimeData()));
        return true;
    }
    default:
        return false;
    }
}

QLineEdit* ConverterDialog::Box(Field field) const {
    return field == Field::SourceDir   ? m_editSource
           : field == Field::TargetDir ? m_editTarget
                                       : m_editAuthor;
}

std::string ConverterDialog::GetText(Field field) const {
    const QString text = field == Field::Elapsed ? m_staticElapsed->text()
                         : field == Field::Shift ? m_spinShift->cleanText()
                                                 : Box(field)->text();
    return field == Field::SourceDir || field == Field::TargetDir ? ToPath(text)
                                                                  : text.toStdString();
}

void ConverterDialog::SetText(Field field, const std::string& text) {
    if (field == Field::Elapsed) {
        m_staticElapsed->setText(FromText(text));
    } else if (field == Field::Shift) {
        m_spinShift->setValue(FromText(text).toInt()); // the controller's numbers only
    } else {
        Box(field)->setText(field == Field::Author ? FromText(text) : FromPath(text));
    }
}

void ConverterDialog::SelectSource() {
    m_editSource->selectAll();
}

DialogOptions ConverterDialog::GetOptions() const {
    DialogOptions options;
    for (const DialogList list : kDialogLists) {
        ChooseEntry(list, List(list)->currentIndex(), options);
    }
    options.openTarget = m_checkOpenTarget->isChecked();
    return options;
}

void ConverterDialog::SetOptions(const DialogOptions& options) {
    for (const DialogList list : kDialogLists) {
        List(list)->setCurrentIndex(ListIndex(list, options));
    }
    m_checkOpenTarget->setChecked(options.openTarget);
}

void ConverterDialog::EnableOptions(const OptionStates& states) {
    List(DialogList::LrcStyle)->setEnabled(states.lrcStyle);
    m_spinShift->setEnabled(states.shift);
    m_btnAssOptions->setEnabled(states.assOptions);
}

void ConverterDialog::SetPos(int pos) {
    m_progress->SetPos(pos);
}

void ConverterDialog::SetBarText(const std::string& text) {
    m_progress->SetWindowText(FromText(text));
}

void ConverterDialog::SetProblemTip(const std::string& text) {
    m_progress->setToolTip(FromText(text));
}

void ConverterDialog::SetRunning(bool running) {
    m_btnStart->setEnabled(!running);
    m_btnStop->setEnabled(running);
}

void ConverterDialog::EnableDetails(bool enable) {
    m_btnDetails->setEnabled(enable);
}

void ConverterDialog::SetFrameTimer(bool on) {
    on ? m_refreshTimer.start() : m_refreshTimer.stop();
}

void ConverterDialog::PostRunReturned() {
    emit WorkerReturned(); // queued: OnRunFinished runs on the window's thread
}

std::string ConverterDialog::PickFolder(const std::string& startFolder) {
    return ToPath(m_folderPicker(this, FromPath(startFolder)));
}

void ConverterDialog::ShowWarning(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), FromText(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText); // a "<" in a path is no markup
    box.exec();
}

bool ConverterDialog::EditAssOptions(AssChoices& choices) {
    return tolvren::EditAssOptions(this, choices);
}

void ConverterDialog::ShowProblems(const std::vector<RunProblem>& problems) {
    auto* list = new ProblemListDialog(problems, this);
    list->setAttribute(Qt::WA_DeleteOnClose);
    list->open();
}

void ConverterDialog::CloseWindow() {
    QDialog::reject();
}

} // namespace tolvren
