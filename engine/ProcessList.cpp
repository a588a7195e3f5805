#include "engine/ProcessList.h"

#include <algorithm>

namespace kelvane {

ProcessRow& ProcessList::Append(const QString& caption) {
    rows_.push_back(std::make_unique<ProcessRow>());
    rows_.back()->caption = caption;
    byCaption_[caption].push_back(count() - 1);
    bool ok = false;
    const qlonglong number = caption.toLongLong(&ok);
    oddCaptions_ = oddCaptions_ || (ok && QString::number(number) != caption);
    return *rows_.back();
}

void ProcessList::Delete(int index) {
    if (index < 0 || index >= count())
        return;
    if (observer_ != nullptr)
        observer_->RowsAboutToBeRemoved(index, index);
    rows_.erase(rows_.begin() + index);
    Reindex();
    if (observer_ != nullptr)
        observer_->RowsRemoved();
}

void ProcessList::Clear() {
    const bool any = !rows_.empty();
    if (any && observer_ != nullptr)
        observer_->RowsAboutToBeRemoved(0, count() - 1);
    rows_.clear();
    byCaption_.clear();
    oddCaptions_ = false;
    if (any && observer_ != nullptr)
        observer_->RowsRemoved();
}

int ProcessList::FindCaption(const QString& caption) const {
    const auto it = byCaption_.constFind(caption);
    return it == byCaption_.constEnd() || it->empty() ? -1 : it->front();
}

int ProcessList::FindItem(std::int64_t pid) const {
    if (pid < 0)
        return -1;
    // Captions that read as the number without being its plain decimal text ("007") need the walk;
    // Kelvane itself never writes such captions, so the index answers.
    if (!oddCaptions_) {
        const auto it = byCaption_.constFind(QString::number(pid));
        return it == byCaption_.constEnd() || it->empty() ? -1 : it->back();
    }
    for (int i = count() - 1; i >= 0; --i) {
        bool ok = false;
        if (at(i).caption.toLongLong(&ok) == pid && ok)
            return i;
    }
    return -1;
}

int ProcessList::SelectedIndex() const {
    for (int i = 0; i < count(); ++i)
        if (at(i).selected)
            return i;
    return -1;
}

void ProcessList::Select(int index) {
    for (int i = 0; i < count(); ++i)
        at(i).selected = i == index;
}

void ProcessList::Sort(const std::function<int(const ProcessRow&, const ProcessRow&)>& compare) {
    std::vector<int> order(rows_.size()); // order[k]: the old index of the row that goes to k
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(at(a), at(b)) < 0; });
    bool moved = false;
    for (std::size_t k = 0; k < order.size() && !moved; ++k)
        moved = order[k] != static_cast<int>(k);
    if (!moved)
        return;
    if (observer_ != nullptr)
        observer_->RowsAboutToBeMoved();
    std::vector<std::unique_ptr<ProcessRow>> sorted(rows_.size());
    std::vector<int> newIndex(rows_.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        sorted[k] = std::move(rows_[static_cast<std::size_t>(order[k])]);
        newIndex[static_cast<std::size_t>(order[k])] = static_cast<int>(k);
    }
    rows_ = std::move(sorted);
    Reindex();
    if (observer_ != nullptr)
        observer_->RowsMoved(newIndex);
}

void ProcessList::Reindex() {
    byCaption_.clear();
    for (int i = 0; i < count(); ++i)
        byCaption_[at(i).caption].push_back(i);
}

} // namespace kelvane
