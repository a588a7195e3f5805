#include "engine/PriorityClass.h"

#include "engine/MessageStrings.h"

namespace kelvane {

int PriorityClassToIndex(std::uint32_t code) {
    for (std::size_t i = 0; i < kPriorityClassCodes.size(); ++i)
        if (kPriorityClassCodes[i] == code)
            return static_cast<int>(i);
    return 2;
}

std::uint32_t IndexToPriorityClass(int index) {
    if (index < 0 || index >= static_cast<int>(kPriorityClassCodes.size()))
        return ABOVE_NORMAL_PRIORITY_CLASS;
    return kPriorityClassCodes[static_cast<std::size_t>(index)];
}

bool IsPriorityClass(std::uint32_t code) {
    for (std::uint16_t known : kPriorityClassCodes)
        if (known == code)
            return true;
    return false;
}

QString PriorityClassText(std::uint32_t code, const MessageStrings& strings) {
    switch (code) {
    case IDLE_PRIORITY_CLASS:
        return strings[Msg::Low];
    case BELOW_NORMAL_PRIORITY_CLASS:
        return strings[Msg::BelowNormal];
    case NORMAL_PRIORITY_CLASS:
        return strings[Msg::Normal];
    case ABOVE_NORMAL_PRIORITY_CLASS:
        return strings[Msg::AboveNormal];
    case HIGH_PRIORITY_CLASS:
        return strings[Msg::High];
    case REALTIME_PRIORITY_CLASS:
        return strings[Msg::RealTime];
    default:
        return strings[Msg::NotAvailable];
    }
}

} // namespace kelvane
