#include "uiadditions/UIApplication+SafeURL.h"

bool openURLSafe_zel(const std::shared_ptr<UIApplication>& application,
                     const std::optional<std::string>& url) {
    if (!application || !url || !application->canOpenURL(*url)) {
        return false;
    }
    return application->openURL(*url);
}
