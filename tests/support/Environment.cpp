#include "tests/support/Environment.h"

#include <cstdlib>

namespace testsupport {

#ifdef _WIN32
void SetEnvironment(const char* Name, const char* Value) {
    // An empty value removes the variable here.
    _putenv_s(Name, Value ? Value : "");
}
#else
void SetEnvironment(const char* Name, const char* Value) {
    if (Value) {
        ::setenv(Name, Value, 1);
    } else {
        ::unsetenv(Name);
    }
}
#endif

} // namespace testsupport
