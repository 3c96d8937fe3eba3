#pragma once

#include "batch/RunState.h"
#include "ui/FolderPicker.h"

#include <QDialog>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tolvren {

class TextProgressCtrl;

/// The main window: source and target folders, author, output format, the scripts' encoding, and
/// a run of the batch worker on a thread of its own with its progress and its problems.
///
/// The worker never waits for the window: it publishes its progress into a snapshot under the
/// window's lock, and a timer on the window's thread shows the newest state once a frame. Its two
/// questions (the format at the start, "open the target folder" at the end) are answered from
/// atomics the controls keep up to date. When the worker returns, a queued signal brings the
/// window to join the thread and show the final state exactly.
class ConverterDialog : public QDialog, public RunFrontEnd {
    Q_OBJECT

public:
    /// What carries out one run: ConvertWorker in the program; tests may pass their own.
    using RunFunction = std::function<RunSummary(const RunRequest&, RunControl&, RunFrontEnd&)>;

    explicit ConverterDialog(RunFunction runFunction, QWidget* parent = nullptr);
    /// Asks a running worker to stop after its current file and waits for it.
    ~ConverterDialog() override;

    ConverterDialog(const ConverterDialog&) = delete;
    ConverterDialog& operator=(const ConverterDialog&) = delete;

    /// Shows a folder in the desktop's file browser (QDesktopServices in the program); false when
    /// it could not.
    using FolderOpener = std::function<bool(const QString& folder)>;

    void SetFolderPicker(FolderPickerFunction picker) { m_folderPicker = std::move(picker); }
    void SetFolderOpener(FolderOpener opener) { m_folderOpener = std::move(opener); }

    /// Whether a worker thread exists (from Start until it has returned and been joined).
    bool IsRunActive() const { return m_worker.joinable(); }

    /// Takes `folder` as the source as browsing to it does: the target becomes its kmc subfolder.
    void SetSourceFolder(const QString& folder) { ApplySourceFolder(folder); }

    void OnBrowseSource();
    void OnBrowseTarget();
    /// Takes the boxes (a leading "~" as the home folder), the author and the encoding into a
    /// request and starts the worker; when the request cannot run, the bar says why and nothing
    /// starts.
    void OnStart();
    void OnStop();
    /// Exit, Esc and the close box: closes at once when idle; during a run asks the worker to end
    /// after the current file, and the window closes when it has.
    void OnCancel();
    void OnAbout();
    /// "详情…": the list of the last run's problems, in a window of its own.
    void OnDetails();

    /// true: control texts to the four fields; false: the four fields to their controls.
    void UpdateData(bool saveAndValidate);

    // RunFrontEnd: called on the worker's thread; none of them waits for the window.
    OutputFormat AskFormat() override;
    bool IsOpenTargetChecked() override;
    void ShowScan(int folders, int files) override;
    void ShowProgress(const RunProgress& progress) override;
    void ReportProblem(const RunProblem& problem) override;
    void ShowFinished(const RunSummary& summary) override;
    void OpenFolder(const std::string& folder) override;

signals:
    /// Emitted by the worker's thread when the run function has returned.
    void WorkerReturned();

protected:
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// What the worker has published and the window has not shown yet.
    struct Snapshot {
        bool changed = false;
        bool positionChanged = false;
        int position = 0;
        std::string text;
        std::string elapsed;
        std::string folderToOpen;
    };

    void CreateControls();
    void ApplySourceFolder(const QString& folder);
    void ShowSnapshot();
    void OnRunFinished();
    QString ProblemSummary() const;

    QString m_strSourceDir;
    QString m_strTargetDir;
    QString m_strElapsed;
    QString m_strAuthor;

    TextProgressCtrl* m_progress = nullptr;
    QPushButton* m_btnStop = nullptr;
    QPushButton* m_btnExit = nullptr;
    QPushButton* m_btnStart = nullptr;
    QLineEdit* m_editSource = nullptr;
    QLineEdit* m_editTarget = nullptr;
    QLineEdit* m_editAuthor = nullptr;
    QLabel* m_staticElapsed = nullptr;
    QRadioButton* m_radioKmc = nullptr;
    QRadioButton* m_radioXml = nullptr;
    QButtonGroup* m_formatGroup = nullptr;
    QComboBox* m_comboEncoding = nullptr;
    QCheckBox* m_checkOpenTarget = nullptr;
    QPushButton* m_btnDetails = nullptr;

    FolderPickerFunction m_folderPicker = &FolderPicker;
    FolderOpener m_folderOpener;

    RunFunction m_runFunction;
    RunRequest m_request;
    RunControl m_control;
    RunSummary m_summary; ///< written by the worker's thread, read after it is joined
    std::thread m_worker;

    // The controls' answers to the worker's questions, kept up to date by the controls.
    std::atomic<OutputFormat> m_format{OutputFormat::Kmc};
    std::atomic<bool> m_bOpenTarget{false};

    std::mutex m_snapshotMutex;
    Snapshot m_snapshot;
    bool m_bTearingDown = false; ///< under m_snapshotMutex: no signal to a window going away
    QTimer m_refreshTimer;       ///< shows the snapshot once a frame during a run
};

} // namespace tolvren
