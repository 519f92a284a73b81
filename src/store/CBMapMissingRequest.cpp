#include "store/CBMapMissingRequest.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSString+MarkupEscaping.h"
#include "Foundation/NSStringFormat.h"
#include "MessageUI/MFMailComposeViewController.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIViewController.h"
#include "widgets/UIAlertView+NoEmailAccount.h"

const char* const CBMapMissingRequest::kRecipient = "map-requests@kelvara.example";

namespace {

std::string format(const char* fmt, std::initializer_list<NSFormatArgument> arguments) {
    return NSStringWithFormat(fmt, {arguments.begin(), arguments.size()}).value_or("");
}

std::string escaped(const std::optional<std::string>& value) {
    return value ? NSStringByEscapingMarkup(*value) : std::string("(null)");
}

std::string corner(CLLocationCoordinate2D c) {
    return format("[[coordinate %.4f, %.4f]]", {c.latitude, c.longitude});
}

void showAlert(const char* title, const char* message) {
    auto alert = std::make_shared<UIAlertView>(NSLocalizedString(title), NSLocalizedString(message),
                                               std::weak_ptr<UIAlertViewDelegate>(),
                                               NSLocalizedString("OK"));
    alert->show();
}

}  // namespace

std::string CBMapMissingRequest::htmlDescription() const {
    std::string html = "<p>&nbsp;</p>";
    html += format(
        "<div style='background-color: #eee; border: 1px solid #006; padding: 5px; "
        "margin: 5px;border-radius: 10px;-moz-border-radius: 10px; "
        "-webkit-border-radius: 10px;'><strong>%@</strong><br />",
        {NSStringByEscapingMarkup(NSLocalizedString("DoNotEditBelow"))});
    html += NSStringByEscapingMarkup(NSLocalizedString("MissingMapRequestSubject")) + "<br />";
    if (searchTerm)
        html +=
            format("<strong>Search</strong>: '%@' <br />", {NSStringByEscapingMarkup(*searchTerm)});
    if (group)
        html += format("<strong>Group</strong>: %@ <br />", {NSStringByEscapingMarkup(*group)});
    if (countryCode || countryName)
        html += format("<strong>Country</strong>: %@, %@ <br />",
                       {escaped(countryCode), escaped(countryName)});
    if (regionCode || regionName)
        html += format("<strong>Region</strong>: %@, %@ <br />",
                       {escaped(regionCode), escaped(regionName)});
    if (bbox) {
        html += format("<strong>Bounding box</strong>: NE %@ - SW %@<br />",
                       {corner(bbox->NE()), corner(bbox->SW())});
        auto center = bbox->centerCoordinate();
        auto link =
            format("%@&mlat=%f&mlon=%f", {bbox->osmLink(), center.latitude, center.longitude});
        html += format("<a href='%@'>View in OSM</a>", {NSStringByEscapingMarkup(link)});
    }
    html += "</div>";
    return html;
}

void CBMapMissingRequest::startRequestInViewController(
    UIViewController& controller,
    const std::shared_ptr<MFMailComposeViewControllerDelegate>& mailDelegate) const {
    if (!MFMailComposeViewController::canSendMail()) {
        KelvaraSupport::cb_cannotSendEmailAlert()->show();
        return;
    }
    auto composer = std::make_shared<MFMailComposeViewController>();
    composer->setMailComposeDelegate(mailDelegate);
    composer->setModalPresentationStyle(UIModalPresentationFormSheet);
    composer->setSubject(NSLocalizedString("MissingMapRequestSubject"));
    composer->setToRecipients({kRecipient});
    composer->setMessageBodyIsHTML(htmlDescription(), true);
    controller.presentViewControllerAnimatedCompletion(composer, true, nullptr);
    if (bbox)
        showAlert("MissingMapAddSubjectTitle", "MissingMapAddSubjectMessage");
}
