// GlobalProps: the one process-wide settings object. Beside the oscilloscope settings it holds the
// ten cursor and level records, the cursors switch, the language functions, the main window's
// tabs and the settings' part of the start-up (the device's part is in DeviceStartup.h). Used on
// the GUI thread (and on the start-up worker before the main window exists); the acquisition engine works on copies of its CMeasureProps part. The
// language functions (GetText, GetCharSet) are the exception: any thread may call them.
#pragma once

#include <core/MeasureProps.h>
#include <core/TraceStyle.h>

#include <platform/types.h>

#include <atomic>

typedef const char* (*GetTextProc)(int id);
typedef BYTE (*GetCharSetProc)();

class GlobalProps : public CMeasureProps {
 public:
  // The ten cursor and level records, in this order.
  enum {
    STYLE_CURSOR_LEFT = 0,
    STYLE_CURSOR_RIGHT = 1,
    STYLE_TRIGGER_POSITION = 2,
    STYLE_LEVEL_B = 3,
    STYLE_LEVEL_A = 4,
    STYLE_TRIGGER_LEVEL = 5,
    STYLE_SAVED_C = 6,
    STYLE_SAVED_D = 7,
    STYLE_SAVED_E = 8,
    STYLE_SAVED_F = 9,
    STYLE_COUNT = 10,
    CURSOR_STYLE_COUNT = 3,
    TRACE_STYLE_COUNT = 7,
  };

  GlobalProps();

  CTraceStyle m_Styles[STYLE_COUNT];
  int m_bCursorsOn = 1;
  int m_bRunning = 0;
  int m_bInitialized = 0;  // the start-up ran and the acquisition thread runs
  int m_nCurrentTab = 0;
  int m_nPreviousTab = 0;
  int m_nShownChannels = 0;  // bit per channel
  int m_bMeasureSwitch = 0;  // the measures strip instead of the cursor panel

  // The language: never null, the built-in English functions until a library is bound.
  const char* GetText(int id) const;
  BYTE GetCharSet() const;
  HMODULE GetLanguageModule() const { return m_hLanguage; }
  // Binds the language library named by the user's "Language" value, or the built-in texts.
  void LoadLanguage();
  // Frees the language library and returns to the built-in texts.
  void FreeLanguage();

  // Cursor styles 0..2 and trace styles 0..6 (the same ten records).
  CTraceStyle& CursorStyle(int i) { return m_Styles[i]; }
  CTraceStyle& TraceStyle(int i) { return m_Styles[CURSOR_STYLE_COUNT + i]; }

  BOOL SetTimeBaseIndex(int index, BOOL rescaleCursors, BOOL force) override;
  // Stores the position (bit 0x10), converts it to a time on the 100-step map, gives it to the
  // trigger-position marker and returns it.
  double SetTriggerPosition(double position);
  // Clamps to 0..256, stores (bit 0x08) and gives the level in volts to the trigger-level mark.
  void SetTriggerLevelIndex(int step) override;
  // The step nearest 0 V of the current trigger-level scale.
  void SetTriggerLevelToZero();
  // Bit 0 (shown) of both time cursors: set when on, cleared when off, so every reader of the
  // bit sees the cursors as shown exactly while they are switched on.
  void SetCursorsOn(BOOL on);
  // FALSE for a position outside 0..100; else shifts the channel's scale and stores it.
  BOOL SetChannelPosition(int channel, int position);
  void UpdateTriggerScale() override;
  // The channel's vertical axis: 10 divisions of range * 2 / 16 / probe scale, shifted by the
  // position (-1: the stored one). Writes the axis bottom and top into the channel record.
  void UpdateChannelVoltScale(int channel, BOOL recompute, int position);
  // Time step scale, time axis and the 100 and 1000 step maps from the selected time base.
  void RecomputeTimeBase(BOOL keepOffset, BOOL moveTriggerMarker);

  // The settings' part of the start-up (RunDeviceStartup calls them in this order):
  // Before the device: the colour scheme, record length, grids, cursor and level records and the
  // two display traces.
  void PrepareStartupDefaults();
  // After the device gave its channel information: the ranges it reported, the trigger level at
  // 0 V, every channel marked for the board, the channels centred.
  void AdoptDeviceChannels(BOOL channelInfoRead);
  // Whether or not a device answered: the trigger at 30 % and step 130, the default time base
  // (the board's rate table when no device gave one), the window at division 5.
  void ApplyStartupDefaults(BOOL deviceOpened);
  // The index of the default time base, 1 ms per division: the first rate of the table that fills
  // the 20 divisions of a record of `recordLength` samples in 20 ms (whole samples per second);
  // -1 when the table has none.
  static int DefaultTimeBaseIndex(const CNxDoubleArray& rates, int recordLength);

 protected:
  void RescaleChannel(int channel) override;

 private:
  void FillStyles();

  // Read by every thread that shows a text (the engine's and the library's workers too) while
  // the GUI thread binds or frees the language: atomic, so a reader sees one whole pointer.
  std::atomic<GetTextProc> m_pGetText;
  std::atomic<GetCharSetProc> m_pGetCharSet;
  HMODULE m_hLanguage = 0;
};

GlobalProps& GetGlobalProps();
