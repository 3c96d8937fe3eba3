#pragma once

#include "batch/RunState.h"
#include "ui/FolderPicker.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tolvren {

class TextProgressCtrl;

/// The main window: source and target folders, author, output extension, and a run of the batch
/// worker on a thread of its own with its progress.
///
/// The worker talks to the window through RunFrontEnd on its own thread; every such call is
/// carried out on the window's thread and finished before it returns. The window never waits for
/// the worker while the worker may still call in: the thread is joined when it has said it is
/// done, and the window closes (after an Exit during a run) only after that.
class ConverterDialog : public QDialog, public RunFrontEnd {
    Q_OBJECT

public:
    /// What carries out one run: ConvertWorker in the program; tests may pass their own.
    using RunFunction = int (*)(RunState&);

    explicit ConverterDialog(RunFunction runFunction, QWidget* parent = nullptr);
    /// Asks a running worker to stop after its current file and waits for it.
    ~ConverterDialog() override;

    ConverterDialog(const ConverterDialog&) = delete;
    ConverterDialog& operator=(const ConverterDialog&) = delete;

    void SetFolderPicker(FolderPickerFunction picker) { m_folderPicker = std::move(picker); }

    /// Whether a worker thread exists (from Start until it has returned and been joined).
    bool IsRunActive() const { return m_worker.joinable(); }
    /// The state of the current or last run; read it only while no run is active.
    const RunState& LastRun() const { return m_run; }

    /// Takes `folder` as the source as browsing to it does: the target becomes its kmc subfolder.
    void SetSourceFolder(const QString& folder) { ApplySourceFolder(folder); }

    void OnBrowseSource();
    void OnBrowseTarget();
    void OnStart();
    void OnStop();
    /// Exit, Esc and the close box: closes at once when idle; during a run asks the worker to end
    /// after the current file, and the window closes when it has.
    void OnCancel();
    void OnAbout();

    /// true: control texts to the four fields; false: the four fields to their controls.
    void UpdateData(bool saveAndValidate);

    // RunFrontEnd: called on the worker's thread.
    bool IsKmcChecked() override;
    bool IsOpenTargetChecked() override;
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPos(int pos) override;
    void SetProgressText(const std::string& text) override;
    void UpdateElapsed(const std::string& elapsed) override;
    void SetStartEnabled(bool enabled) override;
    void SetStopEnabled(bool enabled) override;
    void ReportProblem(const RunProblem& problem) override;
    void OpenFolder(const std::string& folder) override;
    void CloseAfterRun() override;

signals:
    /// Emitted by the worker's thread: calls wait in the queue (carried out by RunDeferred).
    void CallsQueued();
    /// Emitted by the worker's thread when ConvertWorker has returned.
    void WorkerReturned();

protected:
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CreateControls();
    void ApplySourceFolder(const QString& folder);
    void OnRunFinished();
    QString ProblemSummary() const;

    /// Runs `call` on the window's thread and waits for it; returns a default value without
    /// calling it once the window is being destroyed.
    template <typename Call>
    std::invoke_result_t<Call&> CallOnGui(Call call);
    /// Queues `call` for the window's thread without waiting: it is carried out, in order, just
    /// before the next call the worker waits for (at the latest the per-file refresh), so it is
    /// still done before the next file starts, at one hand-over per file instead of three.
    void Defer(std::function<void()> call);
    /// Carries out the queued calls; on the window's thread.
    void RunDeferred();

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
    QCheckBox* m_checkOpenTarget = nullptr;

    FolderPickerFunction m_folderPicker = &FolderPicker;

    RunState m_run;
    RunFunction m_runFunction;
    std::thread m_worker;

    // Hand-over of the worker's calls; m_bTearingDown releases a worker waiting for a window
    // that is going away.
    std::mutex m_callMutex;
    std::condition_variable m_callDone;
    bool m_bTearingDown = false;
    std::vector<std::function<void()>> m_deferred;

    // During a run the window paints at most once a frame (see event()).
    QElapsedTimer m_lastPaint;
    QTimer m_paintTimer;
};

} // namespace tolvren
