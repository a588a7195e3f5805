#pragma once
// ListViewProcesses: the report-style list of processes over the model adapter. Grid lines, whole
// row single selection that stays highlighted without the focus, no editing, movable headers, the
// eleven columns at their design widths, and the sort indicator of the engine's sort state.

#include <QTableView>
#include <functional>

#include "settings/Preferences.h"

namespace kelvane::app {

class ProcessListModel;

class TProcessListView : public QTableView {
public:
    explicit TProcessListView(QWidget* parent = nullptr);

    void SetProcessModel(ProcessListModel* model);
    ProcessListModel* processModel() const { return model_; }

    // The selected row's index in the engine's list, or -1.
    int SelectedRow() const;
    void SelectRow(int row);
    void ClearSelection();

    // Column i's display position and width, applied together; the sort state's indicator.
    void ApplyColumnLayout(const ColumnLayout& layout);
    ColumnLayout CurrentColumnLayout(int sortColumn, bool sortAscending) const;
    void ShowSortIndicator(int column, bool ascending);

    // A header click (ListViewProcessesColumnClick) with the clicked column's index.
    std::function<void(int column)> onColumnClick;
    // The selection moved: the row that lost it (or -1), then the row that gained it (or -1).
    std::function<void(int deselected, int selected)> onSelectionChanged;

    // Repaints of the list's rows, for measuring.
    int paintCount() const { return paints_; }

protected:
    bool viewportEvent(QEvent* event) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

private:
    ProcessListModel* model_ = nullptr;
    int paints_ = 0;
};

// The columns' design widths, index 0 "PID" to 10 "Shutdown Time".
inline constexpr int kColumnWidths[11] = {60, 156, 100, 60, 60, 100, 150, 100, 150, 377, 150};

} // namespace kelvane::app
