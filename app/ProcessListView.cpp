#include "app/ProcessListView.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>

#include "app/ProcessListModel.h"

namespace kelvane::app {

TProcessListView::TProcessListView(QWidget* parent) : QTableView(parent) {
    setObjectName(QStringLiteral("ListViewProcesses"));
    setStatusTip(QStringLiteral("Available processes"));
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setIconSize(QSize(16, 16));
    setSortingEnabled(false); // the engine sorts, on request
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setContextMenuPolicy(Qt::CustomContextMenu);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(std::max(18, fontMetrics().height() + 4));
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(false);
    // The selection stays as visible without the focus as with it.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int logical) {
        if (onColumnClick)
            onColumnClick(logical);
    });
}

void TProcessListView::SetProcessModel(ProcessListModel* model) {
    model_ = model;
    setModel(model);
    // The design widths, widened where the desktop's font needs more room for the caption.
    const QFontMetrics metrics = horizontalHeader()->fontMetrics();
    for (int i = 0; i < 11; ++i) {
        const int caption = metrics.horizontalAdvance(model->headerData(i, Qt::Horizontal).toString()) + 24;
        setColumnWidth(i, std::max(kColumnWidths[i], caption));
    }
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                const int lost = deselected.isEmpty() ? -1 : deselected.indexes().value(0).row();
                const int gained = selected.isEmpty() ? -1 : selected.indexes().value(0).row();
                if (onSelectionChanged && (lost >= 0 || gained >= 0))
                    onSelectionChanged(lost, gained);
            });
}

int TProcessListView::SelectedRow() const {
    if (selectionModel() == nullptr)
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void TProcessListView::SelectRow(int row) {
    if (model_ == nullptr || row < 0 || row >= model_->rowCount())
        return;
    selectionModel()->setCurrentIndex(model_->index(row, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TProcessListView::ClearSelection() {
    if (selectionModel() != nullptr)
        selectionModel()->clearSelection();
}

void TProcessListView::ApplyColumnLayout(const ColumnLayout& layout) {
    QHeaderView* header = horizontalHeader();
    // Positions are applied from the lowest wanted position up, so that moving one column does not
    // push an already placed one away.
    std::vector<std::pair<int, int>> wanted; // (position, column)
    for (int i = 0; i < 11; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        if (layout.width[k] && *layout.width[k] >= 0)
            header->resizeSection(i, *layout.width[k]);
        wanted.emplace_back(layout.order[k].value_or(header->visualIndex(i)), i);
    }
    std::stable_sort(wanted.begin(), wanted.end());
    for (const auto& [position, column] : wanted) {
        const int target = std::clamp(position, 0, 10);
        const int from = header->visualIndex(column);
        if (from != target)
            header->moveSection(from, target);
    }
    ShowSortIndicator(layout.SortColumnIndex, layout.SortAscending);
}

ColumnLayout TProcessListView::CurrentColumnLayout(int sortColumn, bool sortAscending) const {
    ColumnLayout layout;
    const QHeaderView* header = horizontalHeader();
    for (int i = 0; i < 11; ++i) {
        layout.order[static_cast<std::size_t>(i)] = header->visualIndex(i);
        layout.width[static_cast<std::size_t>(i)] = header->sectionSize(i);
    }
    layout.SortColumnIndex = sortColumn;
    layout.SortAscending = sortAscending;
    return layout;
}

void TProcessListView::ShowSortIndicator(int column, bool ascending) {
    horizontalHeader()->setSortIndicatorShown(column >= 0 && column <= 10);
    horizontalHeader()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TProcessListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    // A row that goes takes its selection with it: the view would otherwise select a neighbour,
    // and the properties panel would show another process than the one the user chose.
    const int selected = SelectedRow();
    if (selected >= start && selected <= end) {
        ClearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    QTableView::rowsAboutToBeRemoved(parent, start, end);
}

bool TProcessListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Paint)
        ++paints_;
    return QTableView::viewportEvent(event);
}

} // namespace kelvane::app
