#pragma once
// The process list's rows as data: the window shows them, the engine reads and writes them. A row
// has a caption (the PID in decimal, its only link to the record), ten sub-item texts in column
// order, an image index and a selection state. Rows keep their place until sorted or deleted; an
// index by caption keeps lookups cheap for thousands of rows.

#include <QHash>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kelvane {

constexpr int kSubItemCount = 10;

struct ProcessRow {
    QString caption; // set by ProcessList::Append; never changed afterwards
    std::array<QString, kSubItemCount> subItems;
    int imageIndex = -1;
    bool selected = false;
};

// Told of the changes to the rows' places, so that a view over the rows can follow them. New rows
// are appended at the end and need no notice: a view finds them past the rows it knows.
class ProcessListObserver {
public:
    virtual ~ProcessListObserver() = default;
    virtual void RowsAboutToBeRemoved(int first, int last) = 0;
    virtual void RowsRemoved() = 0;
    // A sort is about to change the rows' order (not called when the order stays as it is).
    virtual void RowsAboutToBeMoved() = 0;
    // newIndex[i] is where the row that was at i now stands.
    virtual void RowsMoved(const std::vector<int>& newIndex) = 0;
};

class ProcessList {
public:
    // At most one observer; null for none.
    void SetObserver(ProcessListObserver* observer) { observer_ = observer; }

    int count() const { return static_cast<int>(rows_.size()); }
    ProcessRow& at(int index) { return *rows_[static_cast<std::size_t>(index)]; }
    const ProcessRow& at(int index) const { return *rows_[static_cast<std::size_t>(index)]; }

    // Appends a row with this caption and returns it.
    ProcessRow& Append(const QString& caption);
    void Delete(int index);
    void Clear();

    // The index of the first row whose caption is exactly `caption`, or -1.
    int FindCaption(const QString& caption) const;
    // FindCaption of the decimal text of `pid`, without making that text.
    int FindPid(std::int64_t pid) const;
    // The index of the last row whose caption, read as a decimal number, is `pid`, or -1 (the list
    // is walked from the last row to the first).
    int FindItem(std::int64_t pid) const;

    // The selected row's index, or -1. Selecting a row deselects the others.
    int SelectedIndex() const;
    void Select(int index);

    // Sorts by `compare` (negative: the first row goes first); rows comparing equal keep their order.
    void Sort(const std::function<int(const ProcessRow&, const ProcessRow&)>& compare);

private:
    void Reindex();
    void Index(const QString& caption, int index);

    std::vector<std::unique_ptr<ProcessRow>> rows_;
    // Row indexes, ascending: by number for captions that are a number's plain decimal text (every
    // caption Kelvane writes), by text for any other.
    std::unordered_map<std::int64_t, std::vector<int>> byPid_;
    QHash<QString, std::vector<int>> byCaption_;
    bool oddCaptions_ = false;                   // a caption reads as a number it does not spell
    ProcessListObserver* observer_ = nullptr;
};

} // namespace kelvane
