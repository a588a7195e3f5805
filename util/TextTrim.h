#pragma once

#include <QString>

namespace kelvane {

// Whether the text is made only of characters below code 33 (blanks and control characters), or
// is empty: what is left when such characters are trimmed from both ends.
bool IsBlankText(const QString& text);

} // namespace kelvane
