// Our dates and the FILETIME of the Windows file calls (100-nanosecond steps since 1601-01-01 UTC).
#pragma once

#include "platform/DateTime.h"
#include "platform/win32/WindowsApi.h"

namespace platform::win32 {

TDateTime FileTimeToDateTime(const FILETIME& Time);
// False for dates before 1601, which a FILETIME cannot hold.
bool DateTimeToFileTime(TDateTime Value, FILETIME& Result);

} // namespace platform::win32
