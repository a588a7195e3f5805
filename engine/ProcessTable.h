#pragma once
// Everything Kelvane knows about a process, one record per PID, and the table of all records,
// indexed directly by PID over the platform's whole PID range. Every record is all-zero until first
// used; records are never removed, only reset by the clean-up, so a reused PID finds the old record
// until then. Only records in use take memory: a record is made on first write, so the table stays
// small however the PIDs are spread over a range of millions.

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <unordered_map>

#include "engine/ProcessApi.h"

namespace kelvane {

struct TProcess {
    QString Name;                     // executable path; empty = record free
    std::uint16_t OrginalPriority = 0; // class when first seen; 0 = not yet known
    std::uint16_t Priority = 0;        // class last read back
    std::uint16_t OptimizeProfile = 0; // class the profile asks for; 0 = none
    CpuTicks CPUTime = 0;              // display sample
    CpuTicks dCPUTime = 0;
    CpuTicks CPUTimeOptimizer = 0;     // optimizer sample
    CpuTicks dCPUTimeOptimizer = 0;
    bool Active = false;
    bool Kill = false;
    bool Managed = false;
    bool Boosted = false;
    bool Throttled = false;
    bool Never = false;
    bool Static = false;
    double ShutDownTime = 0; // days since 1899-12-30; 0 = none
    std::uint64_t CPUAffinity = 0; // 0 = none
    bool DailyShutDown = false;
    // The profile's "Shutdown time" could not be read: Save leaves it in the file as it is.
    bool ShutDownTimeUnread = false;
    // The port's identity of the process the record was made for (its start time on Linux); 0
    // until the process was first opened. A PID found with another identity is a new process.
    std::uint64_t Identity = 0;
    // A pass left the process alone since CPUTimeOptimizer was taken: the next delta would span
    // several cycles, so it starts afresh instead of being taken for one cycle's.
    bool OptimizerSampleStale = false;
    // The identity of the process behind the PID when a pass could not open it for optimizing (not
    // Kelvane's to change); 0 otherwise. Such a process is tried again only now and then.
    std::uint64_t RefusedIdentity = 0;

    bool InUse() const { return !Name.isEmpty(); }
};

class ProcessTable {
public:
    // Records for PIDs 0 to limit - 1.
    explicit ProcessTable(Pid limit);

    Pid limit() const { return limit_; }
    bool InRange(Pid pid) const { return pid < limit_; }

    // The record of an in-range PID (made on first use). References stay valid until Reset.
    TProcess& operator[](Pid pid) { return records_[pid]; }
    // The record if it was ever made, else null (the record is all-zero then).
    const TProcess* Find(Pid pid) const;

    // Returns the record to the all-zero state.
    void Reset(Pid pid);

    // Every record in use, in ascending PID order.
    void ForEachInUse(const std::function<void(Pid, const TProcess&)>& visit) const;

    // Bytes held by the records and the index, roughly (for measuring).
    std::size_t AllocatedBytes() const;

private:
    Pid limit_;
    std::unordered_map<Pid, TProcess> records_;
};

// PID as the decimal caption of a list row.
inline QString PidText(Pid pid) { return QString::number(pid); }

// Affinity masks of processors 0 to 31: the low 32 bits as a signed value, widened with its sign.
inline std::uint64_t SignExtendAffinity(std::uint64_t mask) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(mask & 0xFFFFFFFFU)));
}

} // namespace kelvane
