#pragma once

// The Foundation release of the system the stand-in reports (UIDevice's
// system version "9.3"): callers compare it with the release constants to
// pick code paths for older systems.
inline constexpr double NSFoundationVersionNumber_iOS_7_0 = 1047.20;
inline constexpr double NSFoundationVersionNumber_iOS_7_1 = 1047.25;
inline constexpr double NSFoundationVersionNumber_iOS_8_0 = 1140.11;
inline constexpr double NSFoundationVersionNumber_iOS_8_x_Max = 1199;
inline constexpr double NSFoundationVersionNumber_iOS_9_0 = 1240.1;
inline constexpr double NSFoundationVersionNumber_iOS_9_x_Max = 1299;
inline constexpr double NSFoundationVersionNumber = 1242.12;
