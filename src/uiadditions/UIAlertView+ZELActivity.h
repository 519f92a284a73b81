#pragma once

#include <memory>
#include <string>

class UIAlertView;

// An alert without buttons that shows the title over a spinning activity
// indicator, for work the user waits for; shown at once. Dismiss it with
// dismissWithClickedButtonIndexAnimated.
std::shared_ptr<UIAlertView> ZELShowActivityAlertViewWithTitle(const std::string& title);
