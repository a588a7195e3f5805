#include "engine/ProcessList.h"

#include <algorithm>
#include <optional>

namespace kelvane {

namespace {
// The number whose plain decimal text `caption` is ("7", "-7", "0"), or nothing ("007", "+7", " 7",
// "-0", and numbers of more than 18 digits, which go to the index by text).
std::optional<std::int64_t> PlainNumber(const QString& caption) {
    const qsizetype sign = caption.startsWith(u'-') ? 1 : 0;
    const qsizetype digits = caption.size() - sign;
    if (digits < 1 || digits > 18 || (caption.at(sign) == u'0' && (digits > 1 || sign == 1)))
        return std::nullopt;
    std::int64_t number = 0;
    for (qsizetype i = sign; i < caption.size(); ++i) {
        const char16_t c = caption.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        number = number * 10 + (c - u'0');
    }
    return sign == 1 ? -number : number;
}
} // namespace

ProcessRow& ProcessList::Append(const QString& caption) {
    rows_.push_back(std::make_unique<ProcessRow>());
    rows_.back()->caption = caption;
    Index(caption, count() - 1);
    return *rows_.back();
}

void ProcessList::Index(const QString& caption, int index) {
    if (const auto number = PlainNumber(caption)) {
        byPid_[*number].push_back(index);
        return;
    }
    byCaption_[caption].push_back(index);
    bool ok = false;
    caption.toLongLong(&ok);
    oddCaptions_ = oddCaptions_ || ok;
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
    byPid_.clear();
    byCaption_.clear();
    oddCaptions_ = false;
    if (any && observer_ != nullptr)
        observer_->RowsRemoved();
}

int ProcessList::FindCaption(const QString& caption) const {
    if (const auto number = PlainNumber(caption))
        return FindPid(*number);
    const auto it = byCaption_.constFind(caption);
    return it == byCaption_.constEnd() || it->empty() ? -1 : it->front();
}

int ProcessList::FindPid(std::int64_t pid) const {
    constexpr std::int64_t kLongest = 999'999'999'999'999'999; // the most PlainNumber takes
    if (pid > kLongest || pid < -kLongest)
        return FindCaption(QString::number(pid));
    const auto it = byPid_.find(pid);
    return it == byPid_.end() || it->second.empty() ? -1 : it->second.front();
}

int ProcessList::FindItem(std::int64_t pid) const {
    if (pid < 0)
        return -1;
    // Captions that read as the number without being its plain decimal text ("007") need the walk;
    // Kelvane itself never writes such captions, so the index answers.
    if (!oddCaptions_) {
        const auto it = byPid_.find(pid);
        return it == byPid_.end() || it->second.empty() ? -1 : it->second.back();
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
    byPid_.clear();
    byCaption_.clear();
    oddCaptions_ = false;
    for (int i = 0; i < count(); ++i)
        Index(at(i).caption, i);
}

} // namespace kelvane
