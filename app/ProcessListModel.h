#pragma once
// The process list's rows as a Qt model. The engine's rows are the truth: the model reads them and
// holds nothing of a process itself, only what the view has been told (how many rows it knows and
// a fingerprint of each row's texts), so that a refresh can report exactly what changed: new rows
// are inserted in one batch, removed rows removed, a sort moves the rows with their persistent
// indexes (the selection and the scroll position stay), changed rows are reported as ranges.

#include <QAbstractTableModel>
#include <QIcon>
#include <array>
#include <vector>

#include "engine/ProcessList.h"

namespace kelvane::app {

class ProcessListModel final : public QAbstractTableModel, private ProcessListObserver {
public:
    explicit ProcessListModel(ProcessList& list, QObject* parent = nullptr);
    ~ProcessListModel() override;

    // The row images 0 to 5.
    void SetImages(const std::array<QIcon, 6>& images) { images_ = images; }

    // Tells the view of new and changed rows. Called after every change of the engine's rows.
    void Refresh();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The engine row of a model index, or null.
    const ProcessRow* RowAt(int row) const;

    // What the model told its views, for measuring.
    struct Signals {
        int inserts = 0;
        int removes = 0;
        int moves = 0;
        int changes = 0; // dataChanged ranges
        int resets = 0;
    };
    const Signals& counts() const { return counts_; }

private:
    void RowsAboutToBeRemoved(int first, int last) override;
    void RowsRemoved() override;
    void RowsAboutToBeMoved() override;
    void RowsMoved(const std::vector<int>& newIndex) override;
    void InsertNewRows();
    static std::size_t Fingerprint(const ProcessRow& row);

    ProcessList& list_;
    int known_ = 0;                     // rows the views know: the first `known_` of the list
    std::vector<std::size_t> printed_;  // fingerprint of each known row as last reported
    std::array<QIcon, 6> images_;
    Signals counts_;
    bool removing_ = false;
};

} // namespace kelvane::app
