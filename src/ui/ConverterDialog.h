#pragma once

#include "dialog/ConverterController.h"
#include "ui/FolderPicker.h"

#include <QDialog>
#include <QSettings>
#include <QString>
#include <QTimer>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tolvren {

class TextProgressCtrl;

/// The choices the window was left with, kept in $XDG_CONFIG_HOME/Tolvren/Tolvren.conf.
class SettingsStore : public ChoiceStore {
public:
    std::optional<std::string> Read(std::string_view name) const override;
    bool Write(std::string_view name, const std::string& value) override;
    bool Flush() override;
    std::string Location() const override;

private:
    mutable QSettings m_settings{QStringLiteral("Tolvren"), QStringLiteral("Tolvren")};
};

/// The main window: source and target folders, author, output format and its options, the
/// scripts' encoding and Chinese script, and a run of the batch worker with its progress and its
/// problems. It lays the controls out, paints and routes what happens to them to its
/// ConverterController, which decides everything; its frame timer is a QTimer, and the worker's
/// return reaches it as a queued signal.
class ConverterDialog : public QDialog, private ConverterView {
    Q_OBJECT

public:
    explicit ConverterDialog(ConverterController::RunFunction run = &ConvertWorker,
                             QWidget* parent = nullptr);
    ConverterDialog(const ConverterDialog&) = delete;
    ConverterDialog& operator=(const ConverterDialog&) = delete;

    ConverterController& Controller() { return m_controller; }
    /// Tests put their own chooser in place of the desktop's.
    void SetFolderPicker(FolderPickerFunction picker) { m_folderPicker = std::move(picker); }

signals:
    /// Emitted by the worker's thread when the run function has returned.
    void WorkerReturned();

protected:
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    QLineEdit* Box(Field field) const;
    QComboBox* List(DialogList list) const { return m_lists.at(static_cast<std::size_t>(list)); }

    std::string GetText(Field field) const override;
    void SetText(Field field, const std::string& text) override;
    void SelectSource() override;
    DialogOptions GetOptions() const override;
    void SetOptions(const DialogOptions& options) override;
    void EnableOptions(const OptionStates& states) override;
    void SetPos(int pos) override;
    void SetBarText(const std::string& text) override;
    void SetProblemTip(const std::string& text) override;
    void SetRunning(bool running) override;
    void EnableDetails(bool enable) override;
    void SetFrameTimer(bool on) override;
    void PostRunReturned() override;
    std::string PickFolder(const std::string& startFolder) override;
    void ShowWarning(const std::string& text) override;
    bool EditAssOptions(AssChoices& choices) override;
    void ShowProblems(const std::vector<RunProblem>& problems) override;
    void CloseWindow() override;

    TextProgressCtrl* m_progress = nullptr;
    QPushButton* m_btnStop = nullptr;
    QPushButton* m_btnExit = nullptr;
    QPushButton* m_btnStart = nullptr;
    QLineEdit* m_editSource = nullptr;
    QLineEdit* m_editTarget = nullptr;
    QLineEdit* m_editAuthor = nullptr;
    QLabel* m_staticElapsed = nullptr;
    std::array<QComboBox*, kDialogLists.size()> m_lists{}; ///< in the order of DialogList
    QSpinBox* m_spinShift = nullptr;
    QPushButton* m_btnAssOptions = nullptr;
    QCheckBox* m_checkOpenTarget = nullptr;
    QPushButton* m_btnDetails = nullptr;

    FolderPickerFunction m_folderPicker = &FolderPicker;
    QTimer m_refreshTimer; ///< the controller's frame during a run
    SettingsStore m_store;
    ConverterController m_controller; ///< last: a run still going ends before the window goes
};

} // namespace tolvren
