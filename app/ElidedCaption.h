#pragma once
// Captions of check boxes and radio buttons that give way where the window is narrow: drawn cut
// short with an ellipsis, the full caption then shown as the tool tip. The caption itself (text())
// stays whole.

class QAbstractButton;

namespace kelvane::app {

// Lets the check box or radio button narrow down to its first few characters and an ellipsis.
void MakeCaptionElidable(QAbstractButton* button);

} // namespace kelvane::app
