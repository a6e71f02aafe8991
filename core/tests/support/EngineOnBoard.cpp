#include <kvtest/EngineOnBoard.h>

#include "LinkTestSupport.h"

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/MeasureType.h>

#include <platform/clock.h>
#include <platform/display.h>

namespace kvtest {

EngineOnBoard::EngineOnBoard() {
  kvp::ClockUseVirtual(false);
  kvp::OpenHeadlessDisplay();
  kv310::testing::SetLinkLibrary("zlinksim.dll");
  kv310::testing::SetSerialBlockSizeValue(-1);
  zlink_ = std::make_unique<kv310::testing::ZlinkSimBoard>();
  zlink_->Board().Reset();
  zlink_->Board().Update([](sim::BoardScenario& s) { s.instantAcquisition = true; });
  GetMeasureType().m_nMeasureType = 0;
  GetMeasureType().m_nAngleMode = 0;
  engine_ = std::make_unique<CMeasureEngine>();
  SetDeviceStartup(engine_.get());
  GlobalProps& props = GetGlobalProps();
  props.m_bInitialized = 0;
  props.m_nChangeFlags = CHG_ALL;
}

EngineOnBoard::~EngineOnBoard() {
  engine_->CoreShutdown();
  SetDeviceStartup(&GetMeasureEngine());
  engine_.reset();
  zlink_.reset();
  kvp::CloseDisplay();
}

sim::BoardModel& EngineOnBoard::Board() { return zlink_->Board(); }

}  // namespace kvtest
