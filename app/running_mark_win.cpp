// The mark is a named mutex that is never closed: Windows closes the handle as
// the process ends, once the program's files are no longer in use.
#include "app/running_mark.h"

#include <qt_windows.h>

namespace {

// In the global namespace, so that a copy running in another user's session
// counts too. dist/windows/NSIS.template.in (RUNNING_MUTEX) looks for this name.
constexpr wchar_t kRunningMutexName[] = L"Global\\rs232test-running";

} // namespace

void markProgramRunning()
{
    // A second copy opens the first one's mutex, which marks it as well. Should
    // the mark fail (another user's copy made the mutex and this one may not
    // open it), that copy's mark stands for both.
    CreateMutexW(nullptr, FALSE, kRunningMutexName);
}
