// The consent and upload side of the crash manager: the processing run, the
// question to the user, the XML document of a report and its POST.
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "Net/NSURLSession.h"
#include "UIKit/UIApplication.h"
#include "sdk/BITZizavaAppClient.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/BITZizavaManager.h"
#include "sdk/crash/BITCrashCoreReport.h"
#include "sdk/crash/BITCrashCoreReporter.h"
#include "sdk/crash/BITCrashManager.h"
#include "sdk/crash/BITCrashReportTextFormatter.h"
#include "sdk/crash/BITCrashReportXML.h"
#include "sdk/crash/BITZizavaAttachment.h"

namespace {

std::string lastPathComponent(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::string dictionaryString(const Value::Dictionary& dictionary, const char* key) {
    const auto found = dictionary.find(key);
    const std::string* text = found == dictionary.end() ? nullptr : found->second.stringValue();
    return text ? *text : std::string();
}

void append(Value::Data& body, const Value::Data& part) {
    body.insert(body.end(), part.begin(), part.end());
}

NSError uploadError(long code, const std::string& text) {
    return NSError::errorWithDomain(BITCrashReporterErrorDomain, code,
                                    {{NSError::NSLocalizedDescriptionKey, Value(text)}});
}

}  // namespace

void BITCrashManager::invokeDelayedProcessing() {
    if (!bit_isRunningInAppExtension() &&
        UIApplication::sharedApplication()->applicationState() != UIApplicationStateActive)
        return;
    BITZizavaLogDebug("INFO: Start delayed CrashManager processing");
    if (exceptionHandler_ && BITCrashCoreGetUncaughtExceptionHandler() != exceptionHandler_)
        BITZizavaLogWarning(
            "[ZizavaSDK] WARNING: Another exception handler was added. If this invokes any kind "
            "exit() after processing the exception, which causes any subsequent error handler not "
            "to be invoked, these crashes will NOT be reported to ZizavaApp!");
    if (sendingInProgress_ || !hasPendingCrashReport())
        return;
    sendingInProgress_ = true;
    const auto notApproved = firstNotApprovedCrashReport();
    // The question and its answer are about this report, whatever was
    // handled before it.
    if (notApproved)
        lastCrashFilename_ = lastPathComponent(*notApproved);
    if (bit_resourceBundle() && !bit_isRunningInAppExtension() && notApproved &&
        crashManagerStatus_ != BITCrashManagerStatusAutoSend) {
        consentReportFilename_ = lastCrashFilename_;
        askUser();
        return;
    }
    approveLatestCrashReport();
    sendNextCrashReport();
}

void BITCrashManager::askUser() {
    if (const auto delegate = crashManagerDelegate())
        delegate->crashManagerWillShowSubmitCrashReportAlert(*this);
    const std::string appName = bit_appName(bit_localizedString("ZizavaAppNamePlaceholder"));
    const bool identified = !userIDForCrashReport().empty() || !userNameForCrashReport().empty() ||
                            !userEmailForCrashReport().empty();
    const std::string message = bit_localizedStringWithFormat(
        identified ? "CrashDataFoundDescription" : "CrashDataFoundAnonymousDescription", appName);
    if (alertViewHandler_) {
        alertViewHandler_();
        return;
    }
    std::vector<std::string> others{bit_localizedString("CrashSendReport")};
    if (showAlwaysButton_)
        others.push_back(bit_localizedString("CrashSendReportAlways"));
    auto alert = std::make_shared<UIAlertView>(
        bit_localizedStringWithFormat("CrashDataFoundTitle", appName), message,
        std::static_pointer_cast<BITCrashManager>(shared_from_this()),
        bit_localizedString("CrashDontSendReport"), others);
    consentAlert_ = alert;
    alert->show();
}

std::optional<std::string> BITCrashManager::firstNotApprovedCrashReport() const {
    for (const std::string& path : crashFiles_) {
        if (!approvedCrashReports_.count(path))
            return path;
    }
    return std::nullopt;
}

void BITCrashManager::approveLatestCrashReport() {
    if (!lastCrashFilename_)
        return;
    approvedCrashReports_[crashesDir_ + "/" + *lastCrashFilename_] = true;
    saveSettings();
}

bool BITCrashManager::handleUserInputWithUserProvidedMetaData(
    BITCrashManagerUserInput input, const std::optional<BITCrashMetaData>& metaData) {
    if (input != BITCrashManagerUserInputDontSend && input != BITCrashManagerUserInputSend &&
        input != BITCrashManagerUserInputAlwaysSend)
        return false;
    // An answer counts only for the question still open, and only once.
    if (!consentReportFilename_)
        return false;
    const std::string asked = *consentReportFilename_;
    const auto delegate = crashManagerDelegate();
    if (input == BITCrashManagerUserInputDontSend) {
        if (delegate)
            delegate->crashManagerWillCancelSendingCrashReport(*this);
        cleanCrashReportWithFilename(crashesDir_ + "/" + asked);
        consentReportFilename_.reset();
        // Nothing is being sent: a later run may offer the other reports.
        sendingInProgress_ = false;
        return true;
    }
    if (input == BITCrashManagerUserInputAlwaysSend) {
        setCrashManagerStatus(BITCrashManagerStatusAutoSend);
        if (delegate)
            delegate->crashManagerWillSendCrashReportsAlways(*this);
    }
    if (metaData)
        persistUserProvidedMetaData(*metaData);
    consentReportFilename_.reset();
    lastCrashFilename_ = asked;
    approveLatestCrashReport();
    sendNextCrashReport();
    return true;
}

void BITCrashManager::alertViewDidDismissWithButtonIndex(UIAlertView&, long buttonIndex) {
    if (buttonIndex >= 0 && buttonIndex <= 2)
        handleUserInputWithUserProvidedMetaData(static_cast<BITCrashManagerUserInput>(buttonIndex),
                                                std::nullopt);
}

// A report that cannot be read is dropped and the next one tried: one
// vanished or damaged file must not hold back the rest, nor leave the
// manager believing a send is under way.
void BITCrashManager::sendNextCrashReport() {
    while (!crashFiles_.empty()) {
        const std::string path = crashFiles_.front();
        if (sendCrashReportWithFilename(path))
            return;
        cleanCrashReportWithFilename(path);
    }
    sendingInProgress_ = false;
}

bool BITCrashManager::sendCrashReportWithFilename(const std::string& path) {
    const std::string filename = lastPathComponent(path);
    const auto data = dataWithContentsOfFile(path);
    if (!data || data->empty()) {
        return false;
    }
    const std::string base = reportBaseName(filename);
    const bool appKill = base != filename;
    BITCrashReportXMLValues values;
    values.applicationName = bit_mainBundleInfoString("CFBundleExecutable").value_or("");
    values.senderVersion = bit_mainBundleInfoString("CFBundleVersion").value_or("");
    if (appKill) {
        const auto plist = NSPropertyListSerialization::propertyListWithData(*data);
        const Value::Dictionary* fake = plist ? plist->dictionaryValue() : nullptr;
        if (!fake) {
            BITZizavaLogWarning("WARNING: Could not parse crash report");
            return false;
        }
        values.uuids = dictionaryString(*fake, "BITFakeCrashAppBinaryUUID");
        values.bundleIdentifier = dictionaryString(*fake, "BITFakeCrashAppBundleIdentifier");
        values.systemVersion = dictionaryString(*fake, "BITFakeCrashOSVersion");
        values.platform = dictionaryString(*fake, "BITFakeCrashDeviceModel");
        values.versionString = dictionaryString(*fake, "BITFakeCrashAppMarketingVersion");
        values.version = dictionaryString(*fake, "BITFakeCrashAppVersion");
        values.uuid = dictionaryString(*fake, "BITFakeCrashUUID");
        values.log = dictionaryString(*fake, "BITFakeCrashAppString");
    } else {
        NSError error;
        const auto report = BITCrashCoreReport::createWithData(*data, &error);
        if (!report) {
            BITZizavaLogWarning("WARNING: Could not parse crash report");
            return false;
        }
        values.uuids = extractAppUUIDs(*report);
        values.bundleIdentifier = report->applicationInfo().applicationIdentifier();
        values.systemVersion = report->systemInfo().operatingSystemVersion();
        values.platform = getDevicePlatform();
        values.versionString = report->applicationInfo().applicationMarketingVersion().value_or("");
        values.version = report->applicationInfo().applicationVersion();
        values.uuid = report->uuidString().value_or("");
        values.log = BITCrashReportTextFormatter::stringValueForCrashReportCrashReporterKey(
            *report, bit_appAnonID(false));
    }
    values.installString = bit_appAnonID(false);

    std::string applicationLog;
    std::string description;
    std::shared_ptr<BITZizavaAttachment> attachment;
    NSError metaError;
    const auto meta = NSPropertyListSerialization::propertyListWithContentsOfFile(
        crashesDir_ + "/" + base + ".meta", &metaError);
    if (meta && meta->dictionaryValue()) {
        values.userName =
            stringValueFromKeychainForKey(keychainKey(base, "BITCrashMetaUserName")).value_or("");
        values.contact =
            stringValueFromKeychainForKey(keychainKey(base, "BITCrashMetaUserEmail")).value_or("");
        values.userID =
            stringValueFromKeychainForKey(keychainKey(base, "BITCrashMetaUserID")).value_or("");
        applicationLog = dictionaryString(*meta->dictionaryValue(), "BITCrashMetaApplicationLog");
        if (const auto text = dataWithContentsOfFile(crashesDir_ + "/" + base + ".desc"))
            description.assign(text->begin(), text->end());
        attachment = attachmentForCrashReport(crashesDir_ + "/" + base);
    } else {
        BITZizavaLogError("ERROR: Reading crash meta data. %s", metaError.description().c_str());
    }
    if (!applicationLog.empty())
        values.description = description.empty() ? "Log:\n" + applicationLog
                                                 : description + "\n\nLog:\n" + applicationLog;
    else
        values.description = description;

    const std::string xml = bit_crashReportXML(values);
    BITZizavaLogDebug("INFO: Sending crash reports:\n%s", bit_loggedBody(xml).c_str());
    sendCrashReportWithFilenameXmlAttachment(path, xml, attachment);
    return true;
}

Value::Data BITCrashManager::postBodyWithXMLAttachmentBoundary(
    const std::string& xml, const BITZizavaAttachment* attachment, const std::string& boundary) {
    Value::Data body;
    append(body, BITZizavaAppClient::dataWithPostValueForKeyBoundary("ZizavaSDK", "sdk", boundary));
    append(body, BITZizavaAppClient::dataWithPostValueForKeyBoundary(BITZizavaManager::version(),
                                                                     "sdk_version", boundary));
    append(body,
           BITZizavaAppClient::dataWithPostValueForKeyBoundary("no", "feedbackEnabled", boundary));
    append(body, BITZizavaAppClient::dataWithPostValueForKeyContentTypeBoundaryFilename(
                     Value::Data(xml.begin(), xml.end()), "xml", "text/xml", boundary,
                     std::string("crash.xml")));
    if (attachment && attachment->zizavaAttachmentData()) {
        append(body, BITZizavaAppClient::dataWithPostValueForKeyContentTypeBoundaryFilename(
                         *attachment->zizavaAttachmentData(), "attachment0",
                         attachment->contentType().value_or("application/octet-stream"), boundary,
                         attachment->filename().value_or("Attachment_0")));
    }
    const std::string end = "--" + boundary + "--\r\n";
    body.insert(body.end(), end.begin(), end.end());
    return body;
}

NSMutableURLRequest BITCrashManager::requestWithBoundary(const std::string& boundary) const {
    NSMutableURLRequest request = zizavaAppClient_->requestWithMethodPathParameters(
        "POST", bit_format("api/2/apps/%s/crashes", encodedAppIdentifier().c_str()), std::nullopt);
    request.setCachePolicy(NSURLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    // A redirected POST would arrive as a GET, and its answer would be taken
    // for the service's: a redirect is answered as it stands.
    request.setHTTPShouldFollowRedirects(false);
    request.setValueForHTTPHeaderField("ZizavaSDK/iOS", "User-Agent");
    request.setValueForHTTPHeaderField("gzip", "Accept-Encoding");
    request.setValueForHTTPHeaderField("multipart/form-data; boundary=" + boundary, "Content-type");
    return request;
}

void BITCrashManager::sendCrashReportWithFilenameXmlAttachment(
    const std::string& path, const std::string& xml,
    const std::shared_ptr<BITZizavaAttachment>& attachment) {
    std::vector<std::string_view> contents{xml};
    if (attachment && attachment->zizavaAttachmentData()) {
        const auto& bytes = *attachment->zizavaAttachmentData();
        contents.emplace_back(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    const std::string boundary = BITZizavaAppClient::boundaryForContents(contents);
    NSMutableURLRequest request = requestWithBoundary(boundary);
    request.setHTTPBody(postBodyWithXMLAttachmentBoundary(xml, attachment.get(), boundary));
    std::weak_ptr<BITCrashManager> weakSelf =
        std::static_pointer_cast<BITCrashManager>(shared_from_this());
    const auto finish = [weakSelf, path](std::optional<Value::Data> data, long status,
                                         std::optional<NSError> error) {
        DispatchQueue::main()->async([weakSelf, path, data, status, error] {
            if (const auto self = weakSelf.lock())
                self->processUploadResultWithFilenameResponseDataStatusCodeError(path, data, status,
                                                                                 error);
        });
    };
    bool started = false;
    if (BITZizavaHelper::isURLSessionSupported()) {
        auto session = NSURLSession::sessionWithConfiguration(
            NSURLSessionConfiguration::defaultSessionConfiguration());
        auto task = session->dataTaskWithRequest(
            request, [session, finish](std::optional<Value::Data> data,
                                       std::optional<NSHTTPURLResponse> response,
                                       std::optional<NSError> error) {
                session->finishTasksAndInvalidate();
                finish(std::move(data), response ? response->statusCode() : 0, std::move(error));
            });
        if (task) {
            task->resume();
            started = true;
        }
    }
    if (!started) {
        auto operation = zizavaAppClient_->operationWithURLRequestCompletion(
            request, [finish](const std::shared_ptr<BITHTTPOperation>& operation,
                              std::optional<Value::Data> data, std::optional<NSError> error) {
                const auto response = operation->response();
                finish(std::move(data), response ? response->statusCode() : 0, std::move(error));
            });
        zizavaAppClient_->enqeueHTTPOperation(operation);
    }
    if (const auto delegate = crashManagerDelegate())
        delegate->crashManagerWillSendCrashReport(*this);
    BITZizavaLogDebug("INFO: Sending crash reports started.");
}

// Only a 2xx answer means the service has the report; 400 means it never
// will. Anything else (a redirect included) keeps the report for a later run.
void BITCrashManager::processUploadResultWithFilenameResponseDataStatusCodeError(
    const std::string& path, const std::optional<Value::Data>& responseData, long statusCode,
    const std::optional<NSError>& transportError) {
    sendingInProgress_ = false;
    std::optional<NSError> error = transportError;
    bool accepted = false;
    if (!error) {
        if (statusCode >= 200 && statusCode < 300) {
            accepted = true;
        } else if (statusCode == 400) {
            cleanCrashReportWithFilename(path);
            error = uploadError(1,
                                "The server rejected receiving crash reports for this app "
                                "version!");
        } else {
            error = uploadError(3, bit_format("Sending failed with status code: %li", statusCode));
        }
    }
    if (accepted) {
        cleanCrashReportWithFilename(path);
        const bool empty = !responseData || responseData->empty();
        if (empty && statusCode != 204) {
            error = uploadError(2, "Sending failed with an empty response!");
        } else if (!empty) {
            NSError parseError;
            const auto plist = NSPropertyListSerialization::propertyListWithData(
                *responseData, nullptr, &parseError);
            if (plist)
                BITZizavaLogDebug("INFO: Received API response: %s",
                                  bit_loggedBody(*responseData).c_str());
            else
                error = parseError;
        }
        if (const auto delegate = crashManagerDelegate())
            delegate->crashManagerDidFinishSendingCrashReport(*this);
    }
    if (error) {
        if (const auto delegate = crashManagerDelegate())
            delegate->crashManagerDidFailWithError(*this, *error);
        BITZizavaLogError("ERROR: %s", error->localizedDescription().c_str());
    }
    if (accepted && !crashFiles_.empty()) {
        sendingInProgress_ = true;
        sendNextCrashReport();
    }
}
