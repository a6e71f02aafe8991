// The exports of ZLINKSER. Every one works on the library's one link object.
#include "Comm.h"

#include <link/FirmwareVersion.h>
#include <link/LinkExports.h>
#include <link/LinkSettings.h>
#include <link/LinkTrace.h>

#include <platform/module.h>

#include <cstring>

CComm g_oComm;

namespace {
// Load and unload of the library, traced like the system's entry point.
__attribute__((constructor)) void OnProcessAttach() { kvlink::Trace("*** DLL_PROCESS_ATTACH ****\n"); }
__attribute__((destructor)) void OnProcessDetach() { kvlink::Trace("*** DLL_PROCESS_DETACH ****\n"); }
}  // namespace

// The platform tells the library of every thread that starts or ends while it is loaded.
KV_EXPORT BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_THREAD_ATTACH) kvlink::Trace("*** DLL_THREAD_ATTACH ****\n");
  if (reason == DLL_THREAD_DETACH) kvlink::Trace("*** DLL_THREAD_DETACH ****\n");
  return TRUE;
}

KV_EXPORT int Init(const char* key, const char* port) { return g_oComm.Init(key, port); }

KV_EXPORT int Deinit(void) {
  g_oComm.CloseLink();
  return 1;
}

KV_EXPORT int Write(const void* frame, int length) { return g_oComm.WriteFrame(frame, length); }

KV_EXPORT int Read(void* buffer, int length) { return g_oComm.Read(buffer, length); }

KV_EXPORT HANDLE GetEvent(void) { return g_oComm.GetEvent(); }

KV_EXPORT int GetOccupiedTxBuffer(void) { return g_oComm.GetOccupiedTxBuffer(); }

KV_EXPORT int GetTxBufferDataSize(void) { return g_oComm.GetTxBufferDataSize(); }

KV_EXPORT int GetRxStatus(void) { return g_oComm.GetRxStatus(); }

KV_EXPORT int SetSerialBlocksize(int size) {
  g_oComm.SetSerialBlocksize(size);
  return size;
}

KV_EXPORT int GetFirmwareFileVersion(const char* key, char* out) {
  return kvlink::FirmwareFileVersion(key, kvlink::LinkKind::Serial, out);
}

KV_EXPORT void GetHwSwInfo(HwSwInfo* out) { g_oComm.GetHwSwInfo(out); }

KV_EXPORT WORD SetManualFlashMode(int mode) { return g_oComm.SetManualFlashMode(mode); }
