#include "widgets/WindowWork.h"

void TWindowWork::SetInputEnabled(bool enabled)
{
    // Disabling the window drops the keyboard focus; give it back afterwards.
    if (!enabled && window_.isEnabled()) focusBeforeDisable_ = window_.focusWidget();
    window_.setEnabled(enabled);
    if (enabled && focusBeforeDisable_) {
        if (window_.isActiveWindow()) focusBeforeDisable_->setFocus();
        focusBeforeDisable_ = nullptr;
    }
}
