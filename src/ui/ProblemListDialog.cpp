#include "ui/ProblemListDialog.h"

#include "batch/Messages.h"
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
#include <algorithm>
#include <array>
#include <functional>

namespace tolvren {

namespace {

enum Column { kSource, kTarget, kReason, kColumnCount };

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
        return parent.isValid() ? 0 : kColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        // The tooltip carries the whole text where the column cuts it short.
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
            return {};
        }
        return Cell(index.row(), index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            return Heading(section);
        }
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    static QString Heading(int column) {
        static const std::array<QString, kColumnCount> kHeadings = {
            QStringLiteral("源路径"), QStringLiteral("目标路径"), QStringLiteral("原因")};
        return kHeadings.at(static_cast<std::size_t>(column));
    }

    QString Cell(int row, int column) const {
        const RunProblem& problem = m_problems.at(static_cast<std::size_t>(row));
        // A target folder that cannot be made is the run's target, not a source.
        const bool targetFolder = problem.kind == RunProblem::Kind::TargetFolder;
        switch (column) {
        case kSource:
            return targetFolder ? QString() : FromText(NameForDisplay(problem.path));
        case kTarget:
            return FromText(NameForDisplay(targetFolder ? problem.path : problem.targetPath));
        default:
            return FromText(DescribeReason(problem, Language::Chinese));
        }
    }

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
    m_table->setColumnWidth(kSource, du.X(130));
    m_table->setColumnWidth(kTarget, du.X(130));

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
    const auto* model = static_cast<const ProblemModel*>(m_table->model());
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        rows << index.row();
    }
    if (rows.isEmpty()) {
        for (int row = 0; row < model->rowCount({}); ++row) {
            rows << row;
        }
    }
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    const auto line = [](auto cell) {
        QStringList cells;
        for (int column = 0; column < kColumnCount; ++column) {
            cells << cell(column);
        }
        return cells.join(QLatin1Char('\t'));
    };
    lines << line(&ProblemModel::Heading);
    for (const int row : rows) {
        lines << line([&](int column) { return model->Cell(row, column); });
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void ProblemListDialog::Copy() const {
    QGuiApplication::clipboard()->setText(CopiedText());
}

} // namespace tolvren
