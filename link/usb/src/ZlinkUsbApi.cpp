// The exports of ZLINKUSB.
#include <link/LinkTrace.h>

#include "UsbLink.h"

#include <cstring>
#include <new>
#include <mutex>
#include <shared_mutex>

namespace kvlink::usb {

namespace {
// Init and Deinit replace the link object; the other exports use it under the shared lock.
std::shared_mutex gCommMu;
CComm* gComm = nullptr;
}  // namespace

CComm* Comm() { return gComm; }

}  // namespace kvlink::usb

using namespace kvlink;
using namespace kvlink::usb;

KV_EXPORT int Init(const char* key, const char* /*port*/) {
  std::unique_lock lock(gCommMu);
  // A link object left by an earlier start (one that failed after opening the device) is stopped
  // and removed first, so the device is free to be opened again.
  if (gComm) {
    delete gComm;
    gComm = nullptr;
  }
  try {
    gComm = new (std::nothrow) CComm;
    if (!gComm)
      throw CErrorException(-18, "Object instantiation failed!", "Global CComm object couldn't be initiated!",
                            kUsbApiSource, 54);
    gComm->RetrieveRegistryInfo(key ? key : "");
    gComm->StartCommunication();
    return 0;
  } catch (const CErrorException& error) {
    TraceError(error);
    return error.Code();
  }
}

KV_EXPORT int Deinit(void) {
  std::unique_lock lock(gCommMu);
  if (!gComm) return 0;
  gComm->StopCommunication();
  delete gComm;
  gComm = nullptr;
  return 1;
}

KV_EXPORT int Write(const void* frame, int length) {
  std::shared_lock lock(gCommMu);
  return gComm ? gComm->Write(frame, length) : 0;
}

KV_EXPORT int Read(void* buffer, int length) {
  std::shared_lock lock(gCommMu);
  return gComm ? gComm->Read(buffer, length) : 0;
}

KV_EXPORT HANDLE GetEvent(void) {
  std::shared_lock lock(gCommMu);
  return gComm ? gComm->DataEvent() : 0;
}

KV_EXPORT int GetOccupiedTxBuffer(void) { return 4224; }

KV_EXPORT int GetRxStatus(void) { return 0; }

KV_EXPORT int SetSerialBlocksize(int size) { return size; }

KV_EXPORT int GetFirmwareFileVersion(const char* key, char* out) {
  // Only with a link object, as the library has always answered; the settings read are the
  // call's own, so the running link and other callers never see them change.
  std::shared_lock lock(gCommMu);
  if (!gComm || !out) return 0;
  return FirmwareFileVersion(key, LinkKind::Usb, out);
}

KV_EXPORT void GetHwSwInfo(HwSwInfo* out) {
  if (!out) return;
  std::shared_lock lock(gCommMu);
  if (!gComm) {
    std::memset(out, 0, sizeof *out);
    return;
  }
  *out = gComm->Firmware().Info();
  char d1[17] = {}, d2[17] = {};
  std::memcpy(d1, out->description1, 16);
  std::memcpy(d2, out->description2, 16);
  Trace("-->Serialnr :%lu Prod.Date : %04lu\n", static_cast<unsigned long>(out->serialNumber),
        static_cast<unsigned long>(out->productionDate));
  Trace("-->%s %s\n\n", d1, d2);
}

KV_EXPORT WORD SetManualFlashMode(int mode) {
  g_manualFlashMode = static_cast<uint16_t>(mode);
  return 0;
}
