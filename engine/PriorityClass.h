#pragma once
// The six priority classes in index order (the order of the boost list, the class menu and the
// radio buttons): Low, Below Normal, Normal, Above Normal, High, RealTime.

#include <QString>
#include <array>
#include <cstdint>

#include "engine/ProcessApi.h"

namespace kelvane {

class MessageStrings;

constexpr std::array<std::uint16_t, 6> kPriorityClassCodes = {
    IDLE_PRIORITY_CLASS,         BELOW_NORMAL_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS,
    ABOVE_NORMAL_PRIORITY_CLASS, HIGH_PRIORITY_CLASS,         REALTIME_PRIORITY_CLASS};

// Index 0 to 5 of a class code; any other code gives 2 (Normal).
int PriorityClassToIndex(std::uint32_t code);

// Class code of index 0 to 5; any other index gives 32768 (Above Normal).
std::uint32_t IndexToPriorityClass(int index);

// True for the six class codes.
bool IsPriorityClass(std::uint32_t code);

// The class's text from the message strings ("Low" ... "RealTime"); "N/A" for any other code.
QString PriorityClassText(std::uint32_t code, const MessageStrings& strings);

} // namespace kelvane
