#pragma once

#include <QString>

namespace kelvane {

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
QString XdgConfigHome();

} // namespace kelvane
