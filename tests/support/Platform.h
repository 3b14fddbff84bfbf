// What the tests run on: the libcurl implementation of platform/inet, or WinInet (the Windows build,
// run under Wine). platform/Inet.h lists where the two differ; tests that meet a difference ask this.
#pragma once

namespace testsupport {

#ifdef _WIN32
inline constexpr bool OverWinInet = true;
#else
inline constexpr bool OverWinInet = false;
#endif

} // namespace testsupport
