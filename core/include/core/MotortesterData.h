// CMotortesterData: the one engine-tester data object. The core starts it with what the
// acquisition engine reads (the library pointers, the readiness of the engine-tester board, the
// engine type, speed-sensor and coil types); the engine-tester subsystem adds its own members.
// The acquisition thread reads it, so the fields it reads are atomic.
#pragma once

#include <kv310/Interfaces.h>

#include <platform/types.h>

#include <atomic>

class CMotortesterData {
 public:
  enum { ENGINE_SPARK = 0, ENGINE_DIESEL = 1 };

  CMotortesterData() = default;
  CMotortesterData(const CMotortesterData&) = delete;
  CMotortesterData& operator=(const CMotortesterData&) = delete;

  // The library pointers (the start-up worker copies them from the binding; null: none).
  void SetInterfaces(IMotortester_6* motortester, IMTVoltmeter_8* voltmeter, ICommunication_1* communication);
  IMotortester_6* GetMotortester() const { return m_pMotortester.load(); }
  IMTVoltmeter_8* GetVoltmeter() const { return m_pVoltmeter.load(); }
  ICommunication_1* GetCommunication() const { return m_pCommunication.load(); }

  // IMotortester_6::IsReady: the engine-tester board is present and usable. FALSE without it.
  BOOL IsReady() const;

  // The spark coil type 0 or 1, -1 when unset; type 1 enables the engine's re-arm check.
  int GetCoilType() const { return m_nSparkCoilType.load(); }

  // Loads the spark and diesel parameter sets from the user's registry into this object and the
  // engine-tester interface (filled by the engine-tester subsystem).
  void LoadMotortesterParams();

  std::atomic<int> m_nEngineType{ENGINE_SPARK};  // 0 spark, 1 diesel
  std::atomic<int> m_nSparkSpeedSensorType{0};
  std::atomic<int> m_nDieselSpeedSensorType{0};
  std::atomic<int> m_nSparkCoilType{-1};
  std::atomic<int> m_nHelpMode{0};

 private:
  std::atomic<IMotortester_6*> m_pMotortester{nullptr};
  std::atomic<IMTVoltmeter_8*> m_pVoltmeter{nullptr};
  std::atomic<ICommunication_1*> m_pCommunication{nullptr};
};

// The process-wide engine-tester data object; never null.
CMotortesterData* GetMotortesterDevice();
