// CMotortesterData: the one engine-tester data object. It holds the engine parameter block the
// engine-tester board works with and keeps it in the user's registry, remembers which measurement
// the user chose (the help mode), checks that the probes that measurement needs are connected, and
// reads voltage, current and engine speed for the voltage and current panel.
//
// Threads: the GUI thread (pane, panels, timers), the start-up worker (LoadMotortesterParams), the
// acquisition thread (IsReady, engine type, coil and speed-sensor types) and the panels' kV workers
// use it. The flags and the fields the acquisition thread reads are atomic; the rest of the
// parameter block sits under one lock. Library calls are made on a copy of the block, outside it.
// The voltage and current channels belong to the GUI thread.
#pragma once

#include <core/EngineRecords.h>

#include <kv310/Interfaces.h>

#include <platform/types.h>

#include <atomic>
#include <cstdint>
#include <mutex>

class CMotortesterData {
 public:
  enum { ENGINE_SPARK = 0, ENGINE_DIESEL = 1, ENGINE_UNSET = 2 };
  enum { CHANNEL_VOLTAGE = 0, CHANNEL_CURRENT = 1, CHANNELS = 2 };
  // Statuses of the voltage, current and speed reads and of the polled readers.
  enum { STATUS_FAILED = 0, STATUS_OK = 1, STATUS_NO_PROBE = 2, STATUS_WRONG_PROBE = 3 };
  // No library interface to call (ApplyMotortesterParams, ReloadDefaults).
  enum { NO_INTERFACE = -1 };

  // The outcome of a voltage/current or speed read: a double cleared to 0 and the status of each
  // channel (the speed read reports in channel 0's).
  struct StatusRecord {
    double m_dReserved = 0.0;
    int32_t m_nStatus[CHANNELS] = {STATUS_OK, STATUS_OK};
  };

  // One channel of the voltage and current panel: the meter panes' reading (probe description,
  // range table, conversion map, zero offset and statistics; its display mode is the probe kind)
  // and the three converted values of the last read (the reading, then the two extremes).
  struct Channel {
    MeterReading m_Reading;
    ProbeDescriptor m_Probe{};  // as the board reported it last
    double m_dValues[3] = {0.0, 0.0, 0.0};
  };

  CMotortesterData();
  virtual ~CMotortesterData() = default;
  CMotortesterData(const CMotortesterData&) = delete;
  CMotortesterData& operator=(const CMotortesterData&) = delete;

  // The library pointers (the start-up worker copies them from the binding; null: none). The
  // board oscilloscope asked for the probes when the engine-tester board is absent is the
  // binding's unless one is given here.
  void SetInterfaces(IMotortester_6* motortester, IMTVoltmeter_8* voltmeter, ICommunication_1* communication,
                     IOscilloscope_2* oscilloscope = nullptr);
  IMotortester_6* GetMotortester() const { return m_pMotortester.load(); }
  IMTVoltmeter_8* GetVoltmeter() const { return m_pVoltmeter.load(); }
  ICommunication_1* GetCommunication() const { return m_pCommunication.load(); }
  IOscilloscope_2* GetBoardOscilloscope() const;

  // IMotortester_6::IsReady: the engine-tester board is present and usable. FALSE without it.
  BOOL IsReady() const;

  // ---- the parameter block ---------------------------------------------------------------------
  // Per-kind accessors, kind 0 spark, 1 diesel. A setter returns 0 when it stored; for another
  // kind it stores nothing and returns kind - 1 (and -1 for a user code outside the kind's list).
  // A getter returns -1 for another kind.
  int SetNumberCylinders(int kind, int value);  // low byte
  int GetNumberCylinders(int kind) const;
  int SetNumberMarks(int kind, int value);  // 16 bits
  int GetNumberMarks(int kind) const;
  int SetMarkOffset(int kind, int value);  // 16 bits, signed
  int GetMarkOffset(int kind) const;
  int SetStroke(int kind, int value);  // byte
  int GetStroke(int kind) const;
  // User codes: spark 1, 2, 3 = stored 0, 1, 3; diesel 2, 3, 4 = stored 1, 3, 2; another stored
  // value reads -1.
  int SetSpeedSensorType(int kind, int userCode);
  int GetSpeedSensorType(int kind) const;
  // Spark only; 0 and 1, another stored value reads -1.
  int SetCoilType(int kind, int value);
  int GetCoilType() const;
  int GetCoilType(int kind) const { return kind == ENGINE_SPARK ? GetCoilType() : -1; }
  // Diesel only; user codes 1, 2 = stored 0, 1, another stored value reads -1.
  int SetPressureSensorType(int kind, int userCode);
  int GetPressureSensorType(int kind) const;
  // Probes 1 to 4: the toggle returns 1, 0 for another number (and the getter -1).
  int TogglePolarity(int probe);
  int GetPolarity(int probe) const;

  int GetEngineType() const { return m_nEngineType.load(); }
  void SetEngineType(int type) { m_nEngineType.store(type); }
  // The whole block as the library takes it (word 0 the stored engine type).
  EngineParameterBlock GetParamBlock() const;
  // Stores every field of the block, the engine type included.
  void SetParamBlock(const EngineParameterBlock& block);

  // Stores the type and sends the block (with that type) to IMotortester_6 SetAllParams; returns
  // the library's code. The second form applies with the stored type.
  int ApplyMotortesterParams(int engineType);
  int ApplyMotortesterParams();
  // The library's defaults: engine type 0 takes the spark fields, 1 the diesel fields, 2 the whole
  // block; the library's code (0 when the type is neither).
  int ReloadDefaults();
  // IMotortester_6 slot 35 into the four polarity bytes (probe 1 in the lowest byte).
  BOOL ReadPolarities();

  // Both sets of the library into the user's registry; FALSE at the first failure.
  BOOL SaveMotortesterParams();
  // Once, by the start-up worker: the library's defaults, overwritten by each stored value that
  // can be read and lies in the library's range, then the diesel set and the spark set sent to
  // the library (which ends in spark mode). The library's code when its defaults cannot be read,
  // else 1.
  int LoadMotortesterParams();

  // ---- measurement id, probes ------------------------------------------------------------------
  // The help mode: the measurement the user chose (10 at construction).
  int GetHelpMode() const { return m_nHelpMode.load(); }
  void SetHelpMode(int mode) { m_nHelpMode.store(mode); }
  // Polls the link until it is idle (up to 8 times, 250 ms apart), then reads the connected
  // probes; TRUE when those the measurement needs are present (and for ids outside 4..43), FALSE
  // when one is missing or a probe query fails.
  BOOL WaitMotortesterReady(int measurementId);

  // ---- voltage and current ---------------------------------------------------------------------
  // Link to idle, IMTVoltmeter_8 SetMode 2; TRUE when that returned 0.
  BOOL StartVoltCurrent();
  // Reads both channels' statistics (the RMS ones when either channel is in AC mode).
  const StatusRecord& ReadVoltCurrent();
  // The engine speed of the voltmeter's speed input, checked against the speed sensor of the
  // current engine type.
  const StatusRecord& ReadVoltCurrentSpeed(double& speed);
  // Used for both channels; a channel whose mode changes starts its statistics again.
  void SetACMode(int ac);
  const StatusRecord& GetStatusRecord() const { return m_Status; }
  Channel& GetChannel(int channel) { return m_Channels[channel == CHANNEL_CURRENT ? 1 : 0]; }

  // ---- flags -----------------------------------------------------------------------------------
  // 1 while an engine-tester oscilloscope preset other than the plain oscilloscope is active (the
  // synchronised display).
  int GetEngineModeFlag() const { return m_nEngineMode.load(); }
  void SetEngineModeFlag(int on) { m_nEngineMode.store(on); }

  // Read by the acquisition thread without the lock: the engine type (0 spark, 1 diesel, 2 not
  // yet loaded), the speed-sensor types in the library's codes and the spark coil type (-1 unset).
  std::atomic<int> m_nEngineType{ENGINE_UNSET};
  std::atomic<int> m_nSparkSpeedSensorType{0};
  std::atomic<int> m_nDieselSpeedSensorType{0};
  std::atomic<int> m_nSparkCoilType{-1};
  std::atomic<int> m_nHelpMode{10};

  std::atomic<int> m_nEngineMode{0};
  std::atomic<int> m_bPressure{0};
  std::atomic<int> m_bAveraging{1};
  std::atomic<int> m_bProbeSetupDone{0};
  std::atomic<int> m_bAutoPolarity{0};
  std::atomic<int> m_bFirstRead{1};

  // Back to the state at construction (interfaces, block, flags, channels); for tests.
  void Reset();

 private:
  // The fields of the block that are not atomics above.
  EngineParameterBlock LockedBlock() const;
  void StoreBlock(const EngineParameterBlock& block);
  template <typename F>
  int WithBlock(F&& change);
  void LoadChannelRanges(int channel);
  bool ReadChannelProbe(int channel);
  void ConvertChannel(int channel, const int16_t raw[3], uint16_t rangeIndex, const ProbeDescriptor& probe);
  void ResetStatus();
  void RecoverLink();

  std::atomic<IMotortester_6*> m_pMotortester{nullptr};
  std::atomic<IMTVoltmeter_8*> m_pVoltmeter{nullptr};
  std::atomic<ICommunication_1*> m_pCommunication{nullptr};
  std::atomic<IOscilloscope_2*> m_pOscilloscope{nullptr};

  mutable std::mutex m_BlockLock;
  EngineParameterBlock m_Block{};  // engine type, speed-sensor and coil types live in the atomics

  StatusRecord m_Status;
  Channel m_Channels[CHANNELS];
};

// The process-wide engine-tester data object; never null.
CMotortesterData* GetMotortesterDevice();
