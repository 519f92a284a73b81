#include "app/MFMailComposeViewController+KelvaraSupport.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSLocale.h"
#include "MessageUI/MFMailComposeViewController.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIScreen.h"
#include "sdk/BITZizavaManager.h"

namespace KelvaraSupport {

std::string deviceSummary() {
    auto device = UIDevice::currentDevice();
    const CGSize screen = UIScreen::mainScreen()->bounds().size;
    return "\n\n--\nKelvara " + BITZizavaManager::version() + " (" + BITZizavaManager::build() +
           ")\nDevice: " + device->model() + ", system " + device->systemVersion() +
           "\nScreen: " + std::to_string(int(screen.width)) + " x " +
           std::to_string(int(screen.height)) + " points at " +
           std::to_string(int(UIScreen::mainScreen()->scale())) +
           "x\nLocale: " + NSLocale::currentLocale()->localeIdentifier() + "\n";
}

std::shared_ptr<MFMailComposeViewController> cb_defaultSupportMailViewController() {
    auto mail = std::make_shared<MFMailComposeViewController>();
    mail->setToRecipients({kSupportAddress});
    mail->setSubject(NSLocalizedString("SupportSubject"));
    mail->setMessageBodyIsHTML(deviceSummary(), false);
    return mail;
}

}  // namespace KelvaraSupport
