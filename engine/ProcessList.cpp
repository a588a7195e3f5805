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
    rows_.erase(rows_.begin() + index);
    Reindex();
}

void ProcessList::Clear() {
    rows_.clear();
    byCaption_.clear();
    oddCaptions_ = false;
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
    std::stable_sort(rows_.begin(), rows_.end(),
                     [&compare](const auto& a, const auto& b) { return compare(*a, *b) < 0; });
    Reindex();
}

void ProcessList::Reindex() {
    byCaption_.clear();
    for (int i = 0; i < count(); ++i)
        byCaption_[at(i).caption].push_back(i);
}

} // namespace kelvane
