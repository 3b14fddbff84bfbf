// The test's own environment variables (the proxy variables a test sets and clears), on POSIX and under
// Wine alike.
#pragma once

namespace testsupport {

// Sets Name to Value; a null Value removes the variable.
void SetEnvironment(const char* Name, const char* Value);

} // namespace testsupport
