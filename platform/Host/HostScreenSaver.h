#pragma once

class UIApplication;

// Keeps the desktop's screen saver off while the application has its idle
// timer disabled (a map following the user), and lets it run again after.
// Called from the host's loop; only a change of the flag reaches SDL.
void HostFollowIdleTimer(const UIApplication& application);
