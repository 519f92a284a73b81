// The report-file side of the crash manager: converting the pending report,
// the app-kill report, each report's meta data, and deleting a report with
// everything that belongs to it.
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "Foundation/NSBundle.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSFileManager.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "Foundation/NSUserDefaults.h"
#include "sdk/BITZizavaDevice.h"
#include "sdk/BITZizavaFormatting.h"
#include "sdk/BITZizavaLogger.h"
#include "sdk/crash/BITCrashCoreReport.h"
#include "sdk/crash/BITCrashCoreReporter.h"
#include "sdk/crash/BITCrashManager.h"
#include "sdk/crash/BITCrashReportTextFormatter.h"
#include "sdk/crash/BITCrashReportXML.h"
#include "sdk/crash/BITZizavaAttachment.h"

namespace {

constexpr const char* kUserNameSuffix = "BITCrashMetaUserName";
constexpr const char* kUserEmailSuffix = "BITCrashMetaUserEmail";
constexpr const char* kUserIDSuffix = "BITCrashMetaUserID";
constexpr const char* kFakeExtension = ".fake";

std::string newReportName() {
    return bit_format("%.0f", NSDate::date().timeIntervalSinceReferenceDate());
}

std::optional<std::string> defaultsString(const char* key) {
    return NSUserDefaults::standardUserDefaults()->stringForKey(key);
}

std::string gmtTimestamp() {
    const time_t now = time(nullptr);
    tm parts{};
    gmtime_r(&now, &parts);
    char text[32] = {};
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

}  // namespace

std::string BITCrashManager::reportBaseName(const std::string& filename) {
    if (filename.ends_with(kFakeExtension))
        return filename.substr(0, filename.size() - std::strlen(kFakeExtension));
    return filename;
}

std::string BITCrashManager::keychainKey(const std::string& baseName, const char* suffix) const {
    return baseName + "." + suffix;
}

void BITCrashManager::handleCrashReport() {
    BITZizavaLogVerbose("VERBOSE: Handling crash report");
    const auto fileManager = NSFileManager::defaultManager();
    // The pending report stays with the reporter until it is safe here.
    bool purge = true;
    if (fileManager->fileExistsAtPath(analyzerInProgressFile_)) {
        BITZizavaLogWarning(
            "WARNING: AnalyzerInProgress file found, handling crash report skipped");
    } else {
        fileManager->createDirectoryAtPathWithIntermediateDirectories(crashesDir_, true);
        writeDataToFile({}, analyzerInProgressFile_, true);
        BITZizavaLogVerbose("VERBOSE: AnalyzerInProgress file created");
        saveSettings();
        NSError error;
        const auto data = crashCoreReporter_->loadPendingCrashReportDataAndReturnError(&error);
        lastCrashFilename_ = newReportName();
        std::shared_ptr<BITCrashCoreReport> report;
        if (!data) {
            BITZizavaLogError("ERROR: Could not load crash report: %s",
                              error.description().c_str());
            purge = false;
        } else if (!(report = BITCrashCoreReport::createWithData(*data, &error))) {
            BITZizavaLogWarning("WARNING: Could not parse crash report");
        } else {
            std::optional<NSDate> startTime;
            std::optional<NSDate> crashTime;
            if (report->processInfo() && report->processInfo()->processStartTime() &&
                report->systemInfo().timestamp()) {
                startTime = report->processInfo()->processStartTime();
                crashTime = report->systemInfo().timestamp();
                timeIntervalCrashInLastSessionOccurred_ =
                    crashTime->timeIntervalSinceDate(*startTime);
            }
            const std::string path = crashesDir_ + "/" + *lastCrashFilename_;
            NSError writeError;
            if (!writeDataToFile(*data, path, true, &writeError)) {
                // The reporter's copy is the only one left: it stays pending.
                BITZizavaLogError("ERROR: Could not keep the crash report: %s",
                                  writeError.description().c_str());
                purge = false;
            } else {
                const auto& exception = report->exceptionInfo();
                lastSessionCrashDetails_ = std::make_shared<BITCrashDetails>(
                    report->uuidString().value_or("???"), bit_appAnonID(false),
                    report->signalInfo().name(),
                    exception ? std::optional(exception->exceptionName()) : std::nullopt,
                    exception ? std::optional(exception->exceptionReason()) : std::nullopt,
                    startTime, crashTime, report->systemInfo().operatingSystemVersion(),
                    report->systemInfo().operatingSystemBuild(),
                    report->applicationInfo().applicationMarketingVersion(),
                    report->applicationInfo().applicationVersion(),
                    report->processInfo() ? report->processInfo()->processID() : 0);
                storeMetaDataForCrashReportFilename(*lastCrashFilename_);
            }
        }
    }
    if (fileManager->fileExistsAtPath(analyzerInProgressFile_))
        fileManager->removeItemAtPath(analyzerInProgressFile_);
    saveSettings();
    if (purge)
        crashCoreReporter_->purgePendingCrashReportAndReturnError(nullptr);
}

void BITCrashManager::createCrashReportForAppKill() {
    const auto appVersion = defaultsString("BITAppVersion");
    if (!appVersion)
        return;
    const std::string incident = bit_UUID();
    const std::string reporterKey = bit_appAnonID(false);
    const std::string osVersion = defaultsString("BITAppOSVersion").value_or(bit_osVersion());
    const std::optional<std::string> osBuildText =
        defaultsString("BITAppOSBuild") ? defaultsString("BITAppOSBuild") : osBuild();
    const std::string osText = osBuildText ? osVersion + " (" + *osBuildText + ")" : osVersion;
    const std::string bundleIdentifier =
        bit_mainBundleInfoString("CFBundleIdentifier").value_or("");
    const std::string model = getDevicePlatform();
    const auto marketing = defaultsString("BITAppMarketingVersion");
    const std::string versionText = marketing ? *marketing + " (" + *appVersion + ")" : *appVersion;

    std::string text;
    text += "Incident Identifier: " + incident + "\n";
    text += "CrashReporter Key:   " + reporterKey + "\n";
    text += "Hardware Model:      " + model + "\n";
    text += "Identifier:      " + bundleIdentifier + "\n";
    text += "Version:         " + versionText + "\n";
    text += "Code Type:       " + deviceArchitecture() + "\n";
    text += "\n";
    text += "Date/Time:       " + gmtTimestamp() + "\n";
    text += "OS Version:      " + osText + "\n";
    text += "Report Version:  104\n";
    text += "\n";
    text += "Exception Type:  SIGKILL\n";
    text += "Exception Codes: 00000020 at 0x8badf00d\n";
    text += "\n";
    text += "Application Specific Information:\n";
    text += "The application did not terminate cleanly but no crash occured.";
    if (didReceiveMemoryWarningInLastSession_)
        text += " The app received at least one Low Memory Warning.";
    text += "\n\n";

    Value::Dictionary fake{
        {"BITFakeCrashUUID", Value(incident)},
        {"BITFakeCrashAppVersion", Value(*appVersion)},
        {"BITFakeCrashAppBundleIdentifier", Value(bundleIdentifier)},
        {"BITFakeCrashOSVersion", Value(osText)},
        {"BITFakeCrashDeviceModel", Value(model)},
        {"BITFakeCrashAppBinaryUUID", Value(defaultsString("BITAppUUIDs").value_or(""))},
        {"BITFakeCrashAppString", Value(text)}};
    if (marketing)
        fake["BITFakeCrashAppMarketingVersion"] = Value(*marketing);

    lastSessionCrashDetails_ = std::make_shared<BITCrashDetails>(
        incident, reporterKey, "SIGKILL", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
        osVersion, osBuildText, marketing, *appVersion, static_cast<uint64_t>(getpid()));

    const std::string name = newReportName();
    NSFileManager::defaultManager()->createDirectoryAtPathWithIntermediateDirectories(crashesDir_,
                                                                                      true);
    NSError error;
    if (!NSPropertyListSerialization::writePropertyListToFile(
            Value(std::move(fake)), crashesDir_ + "/" + name + kFakeExtension,
            NSPropertyListSerialization::Format::Binary, &error)) {
        BITZizavaLogError("ERROR: Writing fake crash report. %s", error.description().c_str());
        return;
    }
    storeMetaDataForCrashReportFilename(name);
}

void BITCrashManager::storeMetaDataForCrashReportFilename(const std::string& filename) {
    BITZizavaLogVerbose("VERBOSE: Storing meta data for crash report with filename %s",
                        filename.c_str());
    const std::string base = reportBaseName(filename);
    addStringValueToKeychainForKey(userNameForCrashReport(), keychainKey(base, kUserNameSuffix));
    addStringValueToKeychainForKey(userEmailForCrashReport(), keychainKey(base, kUserEmailSuffix));
    addStringValueToKeychainForKey(userIDForCrashReport(), keychainKey(base, kUserIDSuffix));

    const auto delegate = crashManagerDelegate();
    std::string applicationLog;
    if (delegate)
        applicationLog = delegate->applicationLogForCrashManager(*this).value_or("");
    if (const auto attachment =
            delegate ? delegate->attachmentForCrashManager(*this) : std::nullopt) {
        BITZizavaLogVerbose("VERBOSE: Processing attachment for crash report with filename %s",
                            filename.c_str());
        if (*attachment && (*attachment)->zizavaAttachmentData()) {
            if (persistAttachmentWithFilename(**attachment, crashesDir_ + "/" + base))
                BITZizavaLogVerbose("VERBOSE: Crash attachment successfully persisted.");
            else
                BITZizavaLogError("ERROR: Persisting the crash attachment failed");
        } else {
            BITZizavaLogDebug("INFO: Crash attachment was nil");
        }
    }
    NSError error;
    if (!NSPropertyListSerialization::writePropertyListToFile(
            Value(Value::Dictionary{{"BITCrashMetaApplicationLog", Value(applicationLog)}}),
            crashesDir_ + "/" + base + ".meta", NSPropertyListSerialization::Format::Binary,
            &error))
        BITZizavaLogError("ERROR: Writing crash meta data failed. %s", error.description().c_str());
    BITZizavaLogVerbose("VERBOSE: Storing crash meta data finished.");
}

bool BITCrashManager::persistAttachmentWithFilename(const BITZizavaAttachment& attachment,
                                                    const std::string& path) {
    const Value archive(
        Value::Dictionary{{"BITCrashMetaAttachment", Value(attachment.encodeWithCoder())}});
    return NSPropertyListSerialization::writePropertyListToFile(
        archive, path + ".data", NSPropertyListSerialization::Format::Binary);
}

std::shared_ptr<BITZizavaAttachment> BITCrashManager::attachmentForCrashReport(
    const std::string& path) const {
    const std::string dataPath = path + ".data";
    if (!NSFileManager::defaultManager()->fileExistsAtPath(dataPath))
        return nullptr;
    const auto archive = NSPropertyListSerialization::propertyListWithContentsOfFile(dataPath);
    const Value::Dictionary* root = archive ? archive->dictionaryValue() : nullptr;
    if (!root)
        return nullptr;
    const auto found = root->find("BITCrashMetaAttachment");
    return found == root->end() ? nullptr : BITZizavaAttachment::createWithCoder(found->second);
}

void BITCrashManager::persistUserProvidedMetaData(const BITCrashMetaData& metaData) {
    if (!consentReportFilename_)
        return;
    const std::string base = reportBaseName(*consentReportFilename_);
    if (const auto& description = metaData.userProvidedDescription();
        description && !description->empty())
        writeDataToFile(Value::Data(description->begin(), description->end()),
                        crashesDir_ + "/" + base + ".desc", true);
    const auto store = [&](const std::optional<std::string>& value, const char* suffix) {
        if (value && !value->empty())
            addStringValueToKeychainForKey(value, keychainKey(base, suffix));
    };
    store(metaData.userName(), kUserNameSuffix);
    store(metaData.userEmail(), kUserEmailSuffix);
    store(metaData.userID(), kUserIDSuffix);
}

std::string BITCrashManager::extractAppUUIDs(const BITCrashCoreReport& report) {
    std::string uuids;
    for (const Value& entry : BITCrashReportTextFormatter::arrayOfAppUUIDsForCrashReport(report)) {
        const Value::Dictionary* fields = entry.dictionaryValue();
        if (!fields)
            continue;
        const auto text = [&](const char* key) -> const std::string* {
            const auto found = fields->find(key);
            return found == fields->end() ? nullptr : found->second.stringValue();
        };
        if (text("type") && text("arch") && text("uuid"))
            uuids += bit_crashUUIDElement(*text("type"), *text("arch"), *text("uuid"));
    }
    return uuids;
}

void BITCrashManager::cleanCrashReportWithFilename(const std::optional<std::string>& path) {
    if (!path)
        return;
    const auto fileManager = NSFileManager::defaultManager();
    const std::string filename = path->substr(path->rfind('/') + 1);
    const std::string base = reportBaseName(filename);
    const std::string basePath = path->substr(0, path->size() - filename.size()) + base;
    fileManager->removeItemAtPath(*path);
    for (const char* extension : {".data", ".meta", ".desc"})
        fileManager->removeItemAtPath(basePath + extension);
    for (const char* suffix : {kUserNameSuffix, kUserEmailSuffix, kUserIDSuffix})
        removeKeyFromKeychain(keychainKey(base, suffix));
    std::erase(crashFiles_, *path);
    approvedCrashReports_.erase(*path);
    saveSettings();
}

void BITCrashManager::cleanCrashReports() {
    while (!crashFiles_.empty())
        cleanCrashReportWithFilename(crashFiles_.front());
}
