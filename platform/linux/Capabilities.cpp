#include "platform/linux/Capabilities.h"

#include <cerrno>
#include <sys/capability.h>

namespace kelvane::linux_port {

std::optional<int> CapabilityOfPrivilege(const QString& name) {
    if (name == QLatin1String("SeIncreaseBasePriorityPrivilege"))
        return CAP_SYS_NICE;
    if (name == QLatin1String("SeDebugPrivilege"))
        return CAP_SYS_PTRACE;
    if (name == QLatin1String("SeProfileSingleProcessPrivilege"))
        return CAP_KILL;
    return std::nullopt;
}

bool SetEffectiveCapability(int capability, bool enable) {
    cap_t caps = ::cap_get_proc();
    if (caps == nullptr)
        return false;
    const cap_value_t value = capability;
    cap_flag_value_t permitted = CAP_CLEAR;
    bool ok = ::cap_get_flag(caps, value, CAP_PERMITTED, &permitted) == 0;
    if (ok && enable && permitted != CAP_SET) {
        errno = EPERM;
        ok = false;
    }
    if (ok)
        ok = ::cap_set_flag(caps, CAP_EFFECTIVE, 1, &value, enable ? CAP_SET : CAP_CLEAR) == 0 &&
             ::cap_set_proc(caps) == 0;
    const int saved = errno;
    ::cap_free(caps);
    errno = saved;
    return ok;
}

bool HasEffectiveCapability(int capability) {
    cap_t caps = ::cap_get_proc();
    if (caps == nullptr)
        return false;
    cap_flag_value_t effective = CAP_CLEAR;
    const bool ok = ::cap_get_flag(caps, capability, CAP_EFFECTIVE, &effective) == 0;
    ::cap_free(caps);
    return ok && effective == CAP_SET;
}

} // namespace kelvane::linux_port
