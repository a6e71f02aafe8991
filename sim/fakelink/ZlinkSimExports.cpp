// Exports of "zlinksim.dll": the seven link functions the measurement library binds, over one
// in-process board, and the accessor through which a test reaches that board.
#include "FakeLink.h"

#include <sim/ZlinkSim.h>

namespace {
sim::FakeLink g_link;
}

KV_EXPORT int Init(const char* key, const char* port) { return g_link.Init(key, port); }
KV_EXPORT int Deinit(void) { return g_link.Deinit(); }
KV_EXPORT int Write(const void* frame, int length) { return g_link.Write(frame, length); }
KV_EXPORT int Read(void* buffer, int length) { return g_link.Read(buffer, length); }
KV_EXPORT HANDLE GetEvent(void) { return g_link.GetEvent(); }
KV_EXPORT void GetHwSwInfo(HwSwInfo* out) { g_link.GetHwSwInfo(out); }
KV_EXPORT int SetSerialBlocksize(int size) { return g_link.SetSerialBlocksize(size); }

KV_EXPORT sim::BoardModel* ZlinkSimBoard() { return &g_link.Board(); }
