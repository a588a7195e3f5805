#pragma once
// The user's folders as the system names them: texts of their exact bytes (util/FileName.h), so a
// home whose name is not UTF-8 is still the user's home.

#include <QString>

namespace kelvane {

// $HOME when it is an absolute path, else the home folder of the account's entry (getpwuid); "/"
// only when neither names one.
QString HomeFolder();

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else the home's
// ".config".
QString XdgConfigHome();

} // namespace kelvane
