#pragma once

#include <QStringList>
#include <QTextStream>

namespace kelvane {

// kelvanectl ini get FILE SECTION KEY [DEFAULT] | set FILE SECTION KEY VALUE | keys FILE SECTION |
// erase FILE SECTION | delete FILE SECTION KEY. `args` starts after "ini". Returns the exit status:
// 0 on success; 1 with the error on `err` (or, for get, when the key is absent and no DEFAULT is
// given); 2 for a malformed command.
int CommandIni(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace kelvane
