// The notices of the port and of the scans, and the one that tells where a profile stopped reaching
// programs: a profile made for an interpreter or a Wine loader held every script or Windows program
// it ran; now each program has a profile of its own, and the user is told once per such executable.

#include "engine/ProcessMonitor.h"

#include "settings/IniDocument.h"

#include <utility>

namespace kelvane {

QStringList ProcessMonitor::TakeNotices() {
    QStringList notices = api_.TakeNotices() + std::exchange(notices_, {});
    const std::vector<ProcessApi::HostedProgram> hosted = api_.TakeHostedPrograms();
    if (hosted.empty())
        return notices;
    const IniDocument doc = settings_.Load();
    for (const ProcessApi::HostedProgram& entry : hosted) {
        if (doc.Keys(entry.executable, SectionCase::Exact).isEmpty())
            continue;
        notices.append(QStringLiteral("The profile of %1 no longer reaches the programs it runs, such as %2: "
                                      "each script, jar or Windows program has a profile of its own.")
                           .arg(entry.executable, entry.program));
    }
    return notices;
}

} // namespace kelvane
