#pragma once

#include "dialog/ProblemList.h"

#include <QDialog>
#include <vector>

class QTableView;

namespace tolvren {

/// Every problem of a run in one table (source, target, the reason in Chinese), in the order of
/// the run. Ctrl+C and "复制" copy the selected rows, or the whole list when none is selected.
class ProblemListDialog : public QDialog {
    Q_OBJECT

public:
    explicit ProblemListDialog(std::vector<RunProblem> problems, QWidget* parent = nullptr);

    /// What a copy puts on the clipboard: a heading line, then one line per row, the columns
    /// separated by tabs, so that a spreadsheet or an editor takes it apart again.
    QString CopiedText() const;

private:
    void Copy() const;

    QTableView* m_table = nullptr;
};

} // namespace tolvren
