// The thread notices of loaded modules, for the platform's threads: a module that exports
// DllMain is told of every thread the platform starts (DLL_THREAD_ATTACH, on that thread before
// its start routine) and of every one that ends (DLL_THREAD_DETACH, on that thread before its
// handle is signalled).
#pragma once

#include <platform/types.h>

namespace kvp::module {

// Calls the DllMain of every loaded module that has one with `reason` on the calling thread. No
// lock is held while the modules run: a module freed meanwhile stays loaded until its DllMain has
// returned, and is then closed on a thread of its own.
void NotifyThreadModules(DWORD reason);

}  // namespace kvp::module
