#include "engine/ProcessTable.h"

#include <algorithm>
#include <vector>

namespace kelvane {

ProcessTable::ProcessTable(Pid limit) : limit_(limit) {}

const TProcess* ProcessTable::Find(Pid pid) const {
    const auto it = records_.find(pid);
    return it == records_.end() ? nullptr : &it->second;
}

void ProcessTable::Reset(Pid pid) { records_.erase(pid); }

void ProcessTable::ForEachInUse(const std::function<void(Pid, const TProcess&)>& visit) const {
    std::vector<Pid> pids;
    pids.reserve(records_.size());
    for (const auto& [pid, record] : records_)
        if (record.InUse())
            pids.push_back(pid);
    std::sort(pids.begin(), pids.end());
    for (const Pid pid : pids)
        visit(pid, records_.at(pid));
}

std::size_t ProcessTable::AllocatedBytes() const {
    // A node holds the key, the record and a link; the buckets are one pointer each.
    return records_.size() * (sizeof(std::pair<const Pid, TProcess>) + 2 * sizeof(void*)) +
           records_.bucket_count() * sizeof(void*);
}

} // namespace kelvane
