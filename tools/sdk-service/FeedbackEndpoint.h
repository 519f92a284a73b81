#pragma once

class SdkService;

// Registers the feedback threads "api/2/apps/{id}/feedback[/{token}]" and
// their control routes under "/_feedback".
void addFeedbackEndpoint(SdkService& service);
