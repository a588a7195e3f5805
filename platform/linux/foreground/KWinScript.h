#pragma once
// The KWin script that reports window activations (kwin/kelvane-foreground.js), built into the
// program so that a copy can be written for each instance with its bus name filled in.

#include <string>

namespace kelvane::linux_port {

// The script with `busName` (the unique name of the connection the reports go to) filled in.
std::string KWinScriptFor(const std::string& busName);

} // namespace kelvane::linux_port
