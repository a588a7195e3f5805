#include "app/ProcessListModel.h"

#include <QHash>

#include "engine/ProcessMonitor.h"

namespace kelvane::app {

ProcessListModel::ProcessListModel(ProcessList& list, QObject* parent) : QAbstractTableModel(parent), list_(list) {
    list_.SetObserver(this);
    InsertNewRows();
}

ProcessListModel::~ProcessListModel() { list_.SetObserver(nullptr); }

std::size_t ProcessListModel::Fingerprint(const ProcessRow& row) {
    std::size_t seed = qHash(row.caption) ^ static_cast<std::size_t>(row.imageIndex + 1) * static_cast<std::size_t>(0x9E3779B97F4A7C15ULL);
    for (const QString& text : row.subItems)
        seed = seed * 31 + qHash(text);
    return seed;
}

void ProcessListModel::InsertNewRows() {
    const int total = list_.count();
    if (total <= known_)
        return;
    beginInsertRows(QModelIndex(), known_, total - 1);
    for (int i = known_; i < total; ++i)
        printed_.push_back(Fingerprint(list_.at(i)));
    known_ = total;
    endInsertRows();
    ++counts_.inserts;
}

void ProcessListModel::Refresh() {
    InsertNewRows();
    // One dataChanged per run of changed rows; one for the whole table when most rows changed.
    std::vector<std::pair<int, int>> runs;
    int changed = 0;
    for (int i = 0; i < known_; ++i) {
        const std::size_t print = Fingerprint(list_.at(i));
        if (print == printed_[static_cast<std::size_t>(i)])
            continue;
        printed_[static_cast<std::size_t>(i)] = print;
        ++changed;
        if (!runs.empty() && runs.back().second == i - 1)
            runs.back().second = i;
        else
            runs.emplace_back(i, i);
    }
    if (changed == 0)
        return;
    if (changed * 2 > known_ || runs.size() > 64)
        runs = {{runs.front().first, runs.back().second}};
    for (const auto& [first, last] : runs) {
        Q_EMIT dataChanged(index(first, 0), index(last, columnCount() - 1));
        ++counts_.changes;
    }
}

void ProcessListModel::RowsAboutToBeRemoved(int first, int last) {
    // Rows past the known ones were never shown: they go without a word.
    removing_ = first < known_;
    if (!removing_)
        return;
    const int shownLast = std::min(last, known_ - 1);
    beginRemoveRows(QModelIndex(), first, shownLast);
    printed_.erase(printed_.begin() + first, printed_.begin() + shownLast + 1);
    known_ -= shownLast - first + 1;
}

void ProcessListModel::RowsRemoved() {
    if (!removing_)
        return;
    removing_ = false;
    endRemoveRows();
    ++counts_.removes;
}

void ProcessListModel::RowsAboutToBeMoved() {
    InsertNewRows(); // a sort moves every row, so the views must know them all first
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ProcessListModel::RowsMoved(const std::vector<int>& newIndex) {
    std::vector<std::size_t> printed(printed_.size());
    for (std::size_t i = 0; i < printed_.size() && i < newIndex.size(); ++i)
        printed[static_cast<std::size_t>(newIndex[i])] = printed_[i];
    printed_ = std::move(printed);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& old : from) {
        const std::size_t row = static_cast<std::size_t>(old.row());
        to.append(row < newIndex.size() ? index(newIndex[row], old.column()) : QModelIndex());
    }
    changePersistentIndexList(from, to);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    ++counts_.moves;
}

int ProcessListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : known_; }

int ProcessListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kSubItemCount + 1;
}

const ProcessRow* ProcessListModel::RowAt(int row) const {
    return row >= 0 && row < known_ && row < list_.count() ? &list_.at(row) : nullptr;
}

QVariant ProcessListModel::data(const QModelIndex& index, int role) const {
    const ProcessRow* row = index.isValid() ? RowAt(index.row()) : nullptr;
    if (row == nullptr)
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return column == 0 ? row->caption : row->subItems[static_cast<std::size_t>(column - 1)];
    case Qt::DecorationRole:
        if (column == 0 && row->imageIndex >= 0 && row->imageIndex < static_cast<int>(images_.size()))
            return images_[static_cast<std::size_t>(row->imageIndex)];
        return {};
    default:
        return {};
    }
}

QVariant ProcessListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > kSubItemCount)
        return {};
    return ProcessListColumns()[section];
}

Qt::ItemFlags ProcessListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace kelvane::app
