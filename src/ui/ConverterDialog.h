#pragma once

#include "batch/DialogChoices.h"
#include "batch/RunMonitor.h"
#include "ui/FolderPicker.h"

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>

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
/// The window opens with the choices it was closed with (QSettings, under $XDG_CONFIG_HOME), and
/// keeps them again when it closes.
///
/// The window shows a run through a RunMonitor: a timer on the window's thread shows the newest
/// state once a frame, and when the worker returns a queued signal brings the window to take the
/// run's summary and show the final state exactly. "Open the target folder" and "close the window"
/// are carried out then, read from the check box and the exit request at that moment.
class ConverterDialog : public QDialog {
    Q_OBJECT

public:
    using RunFunction = RunMonitor::RunFunction;

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
    bool IsRunActive() const { return m_monitor.IsActive(); }

    /// Takes `folder` as the source as browsing to it does: the target becomes its kmc subfolder.
    void SetSourceFolder(const QString& folder);

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

    /// Which way the folder and author texts go between the boxes and the fields.
    enum class Exchange {
        FromControls, ///< the boxes' texts into the fields
        ToControls,   ///< the fields into the boxes
    };
    void UpdateData(Exchange direction);

signals:
    /// Emitted by the worker's thread when the run function has returned.
    void WorkerReturned();

protected:
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void ApplyChoices(const DialogChoices& choices);
    DialogChoices CurrentChoices();
    /// Keeps the choices for the next launch and closes the window.
    void Close();
    void ApplySourceFolder(const QString& folder);
    void ShowSnapshot();
    void OnRunFinished();

    QString m_strSourceDir;
    QString m_strTargetDir;
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

    RunMonitor m_monitor;
    RunSummary m_summary;  ///< the last run's, once it has ended
    QTimer m_refreshTimer; ///< shows the newest state once a frame during a run
};

} // namespace tolvren
