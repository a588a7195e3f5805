#pragma once
// The process token's privileges as Linux capabilities (libcap). Capabilities belong to a thread:
// they are changed and tested for the calling thread, which for Kelvane is the GUI thread that makes
// every process call.

#include <QString>
#include <optional>

namespace kelvane::linux_port {

// CAP_SYS_NICE for "SeIncreaseBasePriorityPrivilege", CAP_SYS_PTRACE for "SeDebugPrivilege",
// CAP_KILL for "SeProfileSingleProcessPrivilege"; any other name (including
// "SeSystemProfilePrivilege", which has no counterpart) gives nothing.
std::optional<int> CapabilityOfPrivilege(const QString& name);

// Raises a capability from the permitted into the effective set, or drops it from the effective
// set. Raising fails (EPERM) when the capability is not permitted. False on failure, errno kept.
bool SetEffectiveCapability(int capability, bool enable);

// Whether the calling thread has the capability in its effective set.
bool HasEffectiveCapability(int capability);

} // namespace kelvane::linux_port
