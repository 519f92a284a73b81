#pragma once

// Connects the general pasteboard to the desktop's clipboard (SDL's video
// subsystem must be up) and back to memory.
void HostConnectClipboard();
void HostDisconnectClipboard();
