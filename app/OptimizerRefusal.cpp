// TFormMain's refusal to optimize beside another optimizer of Kelvane.

#include "app/FormMain.h"
#include "app/SettingsGroup.h"

namespace kelvane::app {

void TFormMain::RefuseOptimizer(const QString& why) {
    if (OptimizerRefused())
        return;
    optimizerStored_ = settings_->CheckBoxOptimize->isChecked();
    optimizerRefusal_ = why;
    settings_->CheckBoxOptimize->setChecked(false);
    CheckBoxOptimizeClick(); // the offline icon and tip also when the box was off already
    ShowNotice(why);
}

} // namespace kelvane::app
