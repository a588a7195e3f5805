#pragma once

namespace kelvane {

class ProcessApi;

// Enables (or disables) the four privileges that let Kelvane open and adjust other users' and
// system processes, in this order: "SeIncreaseBasePriorityPrivilege", "SeDebugPrivilege",
// "SeProfileSingleProcessPrivilege", "SeSystemProfilePrivilege". A privilege the platform does not
// know is passed over. The result is the success of the last adjustment made, false when none
// was made; callers may ignore it.
bool SetPrivileges(ProcessApi& api, bool enable);

// Start-up: Kelvane's own process goes to the High class. A refusal is silent.
void RaiseOwnPriority(ProcessApi& api);

} // namespace kelvane
