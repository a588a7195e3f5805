#include "engine/ProcessTable.h"

namespace kelvane {

ProcessTable::ProcessTable(Pid limit) : limit_(limit), pages_((limit + kPageSize - 1) / kPageSize) {}

TProcess& ProcessTable::operator[](Pid pid) {
    std::unique_ptr<Page>& page = pages_[pid / kPageSize];
    if (!page) {
        page = std::make_unique<Page>();
        ++pageCount_;
    }
    return (*page)[pid % kPageSize];
}

const TProcess* ProcessTable::Find(Pid pid) const {
    if (!InRange(pid))
        return nullptr;
    const std::unique_ptr<Page>& page = pages_[pid / kPageSize];
    return page ? &(*page)[pid % kPageSize] : nullptr;
}

void ProcessTable::Reset(Pid pid) {
    if (InRange(pid) && pages_[pid / kPageSize])
        (*this)[pid] = TProcess{};
}

void ProcessTable::ForEachInUse(const std::function<void(Pid, const TProcess&)>& visit) const {
    for (std::size_t p = 0; p < pages_.size(); ++p) {
        if (!pages_[p])
            continue;
        for (Pid i = 0; i < kPageSize; ++i) {
            const TProcess& record = (*pages_[p])[i];
            if (record.InUse())
                visit(static_cast<Pid>(p) * kPageSize + i, record);
        }
    }
}

std::size_t ProcessTable::AllocatedBytes() const {
    return pageCount_ * sizeof(Page) + pages_.size() * sizeof(std::unique_ptr<Page>);
}

} // namespace kelvane
