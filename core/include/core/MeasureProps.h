// The oscilloscope's settings record: trigger, time base, record length and the two channel
// records, each part with change bits that tell the acquisition engine what to send to the board.
// GlobalProps (GlobalProps.h) is the one process-wide instance; the acquisition engine and the
// scope pane exchange copies of this record.
#pragma once

#include <core/Coupling.h>
#include <core/LinearMap.h>
#include <core/ValueArrays.h>

// Change bits of the settings word.
enum : int {
  CHG_TRIGGER_CHANNEL = 0x01,      // trigger source channel
  CHG_TRIGGER_MODE = 0x02,         // trigger mode, roll mode or channel on
  CHG_TRIGGER_EDGE = 0x04,
  CHG_TRIGGER_LEVEL = 0x08,
  CHG_TRIGGER_POSITION = 0x10,     // trigger position, and a run request
  CHG_TRIGGER_FILTER = 0x20,       // "Full" / "Noise"
  CHG_TRIGGER_SENSITIVITY = 0x40,  // follows the time scale
  CHG_TRIGGER_SOURCE = 0x80,
  CHG_ALL = 0xFF,
};

// Change bits of a channel record.
enum : int {
  CHN_ON = 0x02,
  CHN_RANGE = 0x04,
  CHN_COUPLING = 0x10,
};

// Bit of the time-base flags: the selected index changed and must be sent.
enum : int { TB_INDEX_CHANGED = 0x01 };

// How a setter marks its setting for the board: only when the stored value changes, or always
// (the board gets the value again even when it already has it).
enum class Send { IfChanged, Always };

class CTimeBaseProps {
 public:
  int m_nFlags = 0;
  int m_nSelected = -1;
  CNxDoubleArray m_Rates;  // samples per second (angle rates in angle mode)

  // The rate at the selected index; 0 for an index outside the table.
  double GetValueOrZero() const { return m_Rates.GetValueOrZero(m_nSelected); }
  // Time per division of the selected entry; empty when none is selected.
  CString FormatTimePerDiv(int recordLength) const;
};

class CChannelProps {
 public:
  int m_nChangeFlags = 0;
  CNxDoubleArray m_Ranges;  // full-scale values of the ranges, with the probe's description
  int m_nMarkWord = 0;  // bit 0: the vertical scale waits for a rescale
  int m_nRangeIndex = -1;
  int m_nRequestedRangeIndex = -1;
  int m_nDefaultRangeIndex = -1;
  int m_nPosition = -1;  // vertical position 0..100 (50 = centre)
  int m_bEnabled = 0;    // a probe is present
  int m_nCoupling = 0;   // 0 AC, 1 DC
  int m_nModeEnable = 0;  // 1 = switched on
  int m_bInverted = 0;
  double m_dAxisBottom = 0.0;
  double m_dAxisTop = 0.0;

  // The full-scale value of the selected range, 0 when none is selected.
  double GetRangeValue() const { return m_Ranges.GetValueOrZero(m_nRangeIndex); }
  // The lowest and highest range index the channel's probe accepts, inside the range table: the
  // probe's window, or the whole table when the probe gives none (0..0 for an empty table).
  void GetRangeLimits(int& lowest, int& highest) const;
  // A range index the probe accepts: `index` itself when it lies inside the limits, else the
  // default range index when that does, else the lowest index.
  int AllowedRangeIndex(int index) const;
  // Volts (or amperes) per division of a range value: range * 2 / 16 / the probe's scale factor
  // (m_Ranges.m_dScale, set with the probe's description).
  double PerDivision(double rangeValue) const;
  int GetUnit() const { return m_Ranges.m_nUnit; }
  Coupling GetCoupling() const { return CouplingOfSetting(m_nCoupling); }
  // Store the coupling (bit 0x10) or the on state (bit 0x02); 1 when the value changed.
  int SetChannelMode(int coupling, Send send = Send::IfChanged);
  int SetChannelOption(int on);
  // Stores the range index (bit 0x04) and nothing else: no rescale, no trigger scale (see
  // CMeasureProps::SetChannelRangeIndex for the whole range change). 1 when it changed.
  int SetRangeIndex(int index, Send send = Send::IfChanged);
  // A probe change (the range table's change mark) leaves the board's channel mode to be sent
  // again: takes the mark and sets bit 0x10. TRUE when there was a mark.
  BOOL TakeProbeChangeMark();
  void ClearChanges() { m_nChangeFlags = 0; }
};

class CMeasureProps {
 public:
  enum { CHANNEL_A = 0, CHANNEL_B = 1, CHANNEL_COUNT = 2 };

  CMeasureProps() = default;
  CMeasureProps(const CMeasureProps&) = default;
  CMeasureProps& operator=(const CMeasureProps&) = default;
  virtual ~CMeasureProps() = default;

  virtual int GetTimeBaseIndex() const { return m_TimeBase.m_nSelected; }
  // Unless force, the current index gives FALSE. Stores the index and derives the trigger
  // sensitivity from the record time (change bit 0x40 when it changes).
  virtual BOOL SetTimeBaseIndex(int index, BOOL rescaleCursors, BOOL force);

  // Trigger.
  int m_nChangeFlags = CHG_ALL;
  CLinearMap m_TriggerLevelMap;  // volts = x1 + slope * (step - y1)
  int m_nTriggerLevel = 0;        // step 0..256
  int m_nTriggerChannel = 0;      // 0 A, 1 B
  int m_nTriggerFilter = 0;       // 0 "Full", 1 "Noise"
  int m_nTriggerMode = 0;         // -1 none, 0 "Trig", 1 "Auto", 2 "Single"
  int m_nSlowRateModifier = 0;    // roll mode: 0 none, 1 rolling, 2 rolling with trigger and countdown
  int m_nTriggerEdge = 0;         // 0 rising, 1 falling
  int m_nTriggerSourceKind = 0;   // 0 A, 1 B, 2 A-B, 3 B-A
  double m_dTriggerSensitivity = 0.0;
  double m_dTriggerPosition = 0.0;      // per cent
  double m_dTriggerPositionTime = 0.0;  // the same as a time
  // Record.
  int m_nRecordLength = 0;      // samples per channel and record
  int m_nRollSampleCount = 0;   // samples of one complete rolling screen (the hold count)
  int m_nHorizontalOffset = 0;
  CTimeBaseProps m_TimeBase;
  int m_nRequestedTimeBaseIndex = -1;  // the default index after start-up, then the user's choice
  int m_bAutosetActive = 0;            // the autoset mark of a record
  CChannelProps m_Channels[CHANNEL_COUNT];
  int m_bDevicePresent = 0;
  int m_nReserved = 0;

  // Any change bit of the record, the time base or a channel.
  BOOL IsChanged() const;
  // Clears every change bit: the board has the settings (or gets them as one block).
  void ClearChanges();
  // Marks the settings to be sent one by one with the next run. The engine-synchronous modes of
  // the engine tester take channel A, the time base, the filter and the sensitivity only (they
  // refuse channel B and the other trigger settings and trigger by themselves): for them only
  // those are marked.
  void MarkAllChanged(bool engineSynchronous);

  // Setters of the settings the board is given: each stores its value and sets the value's change
  // bit (by `send`), so no setting can change without reaching the board. Each returns TRUE when
  // the stored value changed.
  // The time-base index the next run asks the board for (time-base bit); the selected index
  // follows separately (SetTimeBaseIndex), once a record at the new rate arrives.
  BOOL RequestTimeBaseIndex(int index, Send send = Send::IfChanged);
  // -1 none, 0 "Trig", 1 "Auto", 2 "Single" (bit 0x02).
  BOOL SetTriggerMode(int mode, Send send = Send::IfChanged);
  // Roll mode: 0 none, 1 rolling, 2 rolling with trigger and countdown (bit 0x02).
  BOOL SetSlowRateModifier(int modifier, Send send = Send::IfChanged);
  // 0 rising, 1 falling (bit 0x04).
  BOOL SetTriggerEdge(int edge, Send send = Send::IfChanged);
  // 0 "Full", 1 "Noise" (bit 0x20).
  BOOL SetTriggerFilter(int filter, Send send = Send::IfChanged);
  // 0 A, 1 B, 2 A-B, 3 B-A (bit 0x80).
  BOOL SetTriggerSource(int kind, Send send = Send::IfChanged);
  // 0 A, 1 B (bit 0x01); the trigger-level scale follows the new channel.
  BOOL SetTriggerChannel(int channel, Send send = Send::IfChanged);
  // The level step, clamped once to 0..256; the bit (0x08) is set on every call.
  virtual void SetTriggerLevelIndex(int step);
  // Window offset of the record in divisions; it goes to the board with the sensitivity (bit 0x40).
  BOOL SetHorizontalOffset(int offset, Send send = Send::IfChanged);
  // A channel switched on or off by the user: its on state (channel bit 0x02) and, since the
  // board's trigger mode depends on the channels on, the trigger mode (bit 0x02).
  BOOL SwitchChannel(int channel, int on);
  // The board takes the trigger position (bit 0x10) as the request to run: sent again without a
  // change of its value.
  void RequestRun() { m_nChangeFlags |= CHG_TRIGGER_POSITION; }
  bool IsValidChannel(int channel) const { return channel == CHANNEL_A || channel == CHANNEL_B; }
  CChannelProps* GetChannel(int channel) { return IsValidChannel(channel) ? &m_Channels[channel] : nullptr; }
  const CChannelProps* GetChannel(int channel) const {
    return IsValidChannel(channel) ? &m_Channels[channel] : nullptr;
  }

  // Record time of the selected time base: record length / rate (the record length itself when
  // no usable rate is selected).
  double GetRecordTime() const;

  // Recomputes the 256-step trigger-level map from the trigger channel's range: -x..+x, step 128
  // is 0 V; x is 0 when the channel has no usable range.
  virtual void UpdateTriggerScale();
  // Range index: an equal index only refreshes the trigger scale (trigger channel, updateTrigger);
  // else store it and MarkChannelChanged. Returns 1 when the index changed.
  int SetChannelRangeIndex(int channel, int index, BOOL updateTrigger, BOOL recompute);
  // Bit 0x04; the vertical scale now (recompute) or later (mark bit 0); the trigger scale for the
  // trigger channel when updateTrigger.
  void MarkChannelChanged(int channel, BOOL updateTrigger, BOOL recompute);
  void MarkAllChannelsChanged(BOOL updateTrigger);

  // The slow-rate rule: at 500 samples per second and below the screen rolls (trigger mode 3 or
  // 4). 1 when it changed the modifier.
  int UpdateSlowRateTriggerMode();

  // Steps of 1000 that bring |value| to at least 1 (0 for a channel other than A or B; -1 means
  // the trigger channel).
  int GetSubUnitExponent(double value, int channel) const;

  // Texts.
  int GetTimeBaseTexts(CStringArray& list) const;
  CString FormatTimePerDiv() const { return m_TimeBase.FormatTimePerDiv(m_nRecordLength); }
  int GetVoltsPerDivTexts(int channel, CStringArray& list) const;
  CString FormatVoltsPerDiv(int channel) const;
  CString FormatChannelValue(double value, int channel, int decimals, BOOL keepZeros) const;
  CString FormatPlainValue(double value) const;
  CString FormatTriggerLevel(int level) const;

 protected:
  // The channel's vertical display scale is recomputed (the global settings own one).
  virtual void RescaleChannel(int channel);
};
