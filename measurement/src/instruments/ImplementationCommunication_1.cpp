#include "ImplementationCommunication_1.h"

#include "../ComPort.h"
#include "../CommandSet.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "ImplementationMTOscilloscope_7.h"
#include "../EngineTesterState.h"
#include "ImplementationOscilloscope_2.h"

namespace kv310 {

namespace {

ImplementationOscilloscope_2* BoardOscilloscope() {
  return static_cast<ImplementationOscilloscope_2*>(static_cast<IOscilloscope_2*>(InterfaceOf(kOscilloscope)));
}

ImplementationMTOscilloscope_7* EngineTesterOscilloscope() {
  return static_cast<ImplementationMTOscilloscope_7*>(static_cast<IMTOscilloscope_7*>(InterfaceOf(kMTOscilloscope)));
}

}  // namespace

HANDLE ImplementationCommunication_1::GetIdleEvent() {
  CComPort* link = Link();
  return link ? link->IdleEvent() : 0;
}

int ImplementationCommunication_1::GetState() {
  CComPort* link = Link();
  return link ? link->GetState() : kLinkNone;
}

int ImplementationCommunication_1::Open() {
  std::lock_guard<std::mutex> hold(m_openLock);
  if (Link()) return kOpenFailed;
  // The link object stays even when its library could not be bound: Close refuses it, a second
  // Open reports it, and the library's unload ends it.
  CComPort* link = new CComPort();
  SetLink(link);
  m_stopSent.store(false);
  return link->GetState() == kStateReady ? kOk : kOpenFailed;
}

int ImplementationCommunication_1::Close() {
  std::lock_guard<std::mutex> hold(m_openLock);
  // An instrument operation in progress keeps its link until it ends.
  std::lock_guard<std::recursive_mutex> operation(OperationLock());
  CComPort* link = Link();
  if (!link || link->GetState() != kStateReady) return kCloseRefused;
  SetLink(nullptr);
  delete link;  // ends the worker and unloads the link library
  return kOk;
}

int ImplementationCommunication_1::Start() {
  CComPort* link = Link();
  if (!link || link->Start() != kStateIdle) return kStartFailed;
  if (link->GetState() != kStateIdle) return kStartFailed;
  // The engine tester's firmware is checked once per load; a failure leaves the engine tester
  // not ready but does not fail the start.
  if (!EngineState().FirmwareChecked() && UpdateEngineTesterFirmware() == kOk) {
    EngineState().SetFirmwareChecked(true);
    EngineState().SetEngineTesterReady(true);
  }
  return kOk;
}

void ImplementationCommunication_1::SendStopConfiguration() {
  // The final configuration record; its reply is not evaluated.
  const ConfigurationRecord& stop = GetConfigurationRecord(0);
  uint8_t reply[20];
  int received = 0;
  ExchangeWithBoard(stop.bytes, kConfigurationLength, 0, reply, sizeof reply, &received);
  SetLastConfiguration(stop.bytes);
  SetBoardMode(0);
  // Then an oscilloscope configuration: the board oscilloscope's once the engine tester's
  // firmware check has succeeded since load, else the engine-tester oscilloscope's.
  if (EngineState().FirmwareChecked()) {
    if (ImplementationOscilloscope_2* oscilloscope = BoardOscilloscope()) oscilloscope->Configure();
  } else if (ImplementationMTOscilloscope_7* oscilloscope = EngineTesterOscilloscope()) {
    oscilloscope->Configure();
  }
}

int ImplementationCommunication_1::Stop() {
  CComPort* link = Link();
  if (link && !m_stopSent.load()) {
    {
      std::lock_guard<std::recursive_mutex> operation(OperationLock());
      SendStopConfiguration();
    }
    m_stopSent.store(true);
  } else {
    m_stopSent.store(false);
  }
  if (!link) return kStopFailed;
  return link->Stop() == kStateReady ? kOk : kStopFailed;
}

int ImplementationCommunication_1::Recover() {
  std::lock_guard<std::recursive_mutex> operation(OperationLock());
  CComPort* link = Link();
  if (!link) return kNoLink;
  const int before = link->GetState();
  const int state = link->Recover();
  // A link restarted after an error holds no known configuration any more.
  if (before == kStateError) SetBoardMode(0);
  switch (state) {
    case kStateReady: return kLinkNotStarted;
    case kStateIdle: return kOk;
    default: return kLinkBusy;
  }
}

int ImplementationCommunication_1::AbortRead() {
  CComPort* link = Link();
  if (!link) return kNoLink;
  return link->AbortRead() ? kOk : kNothingToAbort;
}

int ImplementationCommunication_1::WaitIdle() {
  if (CComPort* link = Link()) link->WaitIdle();
  return kOk;
}

int ImplementationCommunication_1::SetNotification(HWND window, UINT replyMessage, UINT errorMessage) {
  if (CComPort* link = Link()) link->SetNotification(window, replyMessage, errorMessage);
  return kOk;
}

}  // namespace kv310
