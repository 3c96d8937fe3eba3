#include "ui/ProblemListDialog.h"

#include "dialog/ProblemList.h"
#include "ui/DialogUnits.h"
#include "ui/PathText.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <functional>

namespace tolvren {

namespace {

// A model over the run's own list: a run of a hundred thousand warnings shows at once, since
// only the rows on screen are ever worded.
class ProblemModel : public QAbstractTableModel {
public:
    ProblemModel(std::vector<RunProblem> problems, QObject* parent)
        : QAbstractTableModel(parent), m_problems(std::move(problems)) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_problems.size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : kProblemColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        // The tooltip carries the whole text where the column cuts it short.
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
            return {};
        }
        return FromText(
            ProblemCell(Problem(index.row()), static_cast<ProblemColumn>(index.column())));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            return FromText(ProblemHeading(static_cast<ProblemColumn>(section)));
        }
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    const RunProblem& Problem(int row) const {
        return m_problems.at(static_cast<std::size_t>(row));
    }
    const std::vector<RunProblem>& Problems() const { return m_problems; }

private:
    std::vector<RunProblem> m_problems;
};

// The view's own Ctrl+C copies the current cell alone; the list copies whole rows.
class ProblemTable : public QTableView {
public:
    using QTableView::QTableView;
    std::function<void()> copy;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Copy)) {
            copy();
            return;
        }
        QTableView::keyPressEvent(event);
    }
};

} // namespace

ProblemListDialog::ProblemListDialog(std::vector<RunProblem> problems, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("转换中的问题"));
    setFont(DialogFont());
    const DialogUnits du(font());
    resize(du.Size(440, 200));

    auto* table = new ProblemTable(this);
    table->copy = [this] { Copy(); };
    m_table = table;
    m_table->setModel(new ProblemModel(std::move(problems), m_table));
    m_table->setAccessibleName(QStringLiteral("问题列表"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(static_cast<int>(ProblemColumn::Source), du.X(130));
    m_table->setColumnWidth(static_cast<int>(ProblemColumn::Target), du.X(130));

    auto* copy = new QAction(QStringLiteral("复制(&C)"), m_table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &ProblemListDialog::Copy);
    m_table->addAction(copy);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* copyButton = new QPushButton(QStringLiteral("复制(&C)"), this);
    copyButton->setAutoDefault(false);
    connect(copyButton, &QPushButton::clicked, this, &ProblemListDialog::Copy);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copyButton);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(buttons);
}

QString ProblemListDialog::CopiedText() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(index.row()));
    }
    const auto* model = static_cast<const ProblemModel*>(m_table->model());
    return FromText(CopiedProblems(model->Problems(), std::move(rows)));
}

void ProblemListDialog::Copy() const {
    QGuiApplication::clipboard()->setText(CopiedText());
}

} // namespace tolvren
