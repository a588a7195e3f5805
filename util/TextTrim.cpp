#include "util/TextTrim.h"

namespace kelvane {

bool IsBlankText(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 33)
            return false;
    return true;
}

} // namespace kelvane
