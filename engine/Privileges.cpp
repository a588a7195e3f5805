#include "engine/Privileges.h"

#include "engine/ProcessApi.h"

namespace kelvane {

bool SetPrivileges(ProcessApi& api, bool enable) {
    static const char* const names[] = {"SeIncreaseBasePriorityPrivilege", "SeDebugPrivilege",
                                        "SeProfileSingleProcessPrivilege", "SeSystemProfilePrivilege"};
    bool result = false;
    for (const char* name : names) {
        const std::optional<int> privilege = api.LookupPrivilegeValue(QString::fromLatin1(name));
        if (privilege)
            result = api.AdjustPrivilege(*privilege, enable);
    }
    return result;
}

void RaiseOwnPriority(ProcessApi& api) {
    ProcessHandle self = api.GetCurrentProcess();
    if (self)
        api.SetPriorityClass(self, HIGH_PRIORITY_CLASS);
}

} // namespace kelvane
