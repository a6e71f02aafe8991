// The short English texts and the enumeration names.
#include <core/Texts.h>

#include <iterator>

namespace {

struct IdText {
  int id;
  const char* text;
};

const IdText kShortTexts[] = {
    {1, "ERR"},
    {2, "NO Trig"},
    {3, "Mode"},
    {4, "Source"},
    {5, "Cursor"},
    {6, "On"},
    {7, "Off"},
    {8, "Zoom"},
    {9, "Trigger pos."},
    {10, "Trigger level"},
    {11, "Ch A Scale/div"},
    {12, "Ch B Scale/div"},
    {13, "Window pos."},
    {14, "Time scale/div"},
    {15, "Open Wave-Form"},
    {16, "Save Wave-Form"},
    {17, "Delete"},
    {18, "No probe"},
    {19, "Circuit open"},
    {20, "HORIZONTAL MENU"},
    {21, "HIGH VOLTAGE MENU"},
    {22, "VERTICAL MENU"},
    {23, "TRIGGER MENU"},
    {24, "TRIGGER MENU - ROLL"},
    {25, "Oscilloscope"},
    {26, "Voltmeter"},
    {27, "Ampermeter"},
    {28, "Ohmmeter"},
    {29, "Additional information:"},
    {30, "version"},
    {31, "Application:"},
    {32, "Software development: KELO"},
    {33, "Hardware communication driver:"},
    {34, "Manufacturer: NORVIK"},
    {35, "Warning: this software is protected by copyright. Unauthorised copying is prohibited."},
    {36, "AutoSet"},
    {37, "Autoset in progress. Please wait..."},
    {38, "Reset\nMin/Max"},
    {39, "MIN"},
    {40, "MAX"},
    {41, "Min/Max"},
    {42, "Cannot open file"},
    {43, "Cannot read from file"},
    {44, "Cannot write to file"},
    {45, "Cannot display more than 2 saved charts"},
    {46, "First you have to stop Oscilloscope"},
    {47, "Oscilloscope files (*.osc)|*.osc|All files (*.*)|*.*||"},
    {52, "Single\nsave"},
    {53, "Multi\nsave"},
    {54, "Dravix Scope - Oscilloscope chart"},
    {55, "OK"},
    {56, "Dravix Scope - Current view of record chart"},
    {101, "No error"},
    {102, "Error"},
    {103, "Probe change on trigger source channel."},
    {104, "Bad probe on channel"},
    {105, "No probe on channel"},
    {106, "External voltage"},
    {107, "Cannot start measure"},
    {108, "Cannot set params"},
    {109, "Cannot get data"},
    {110, "Communication error"},
    {111, "No response"},
    {112, "Motortester start failed"},
    {113, "Motortester erase FLASH failed"},
    {114, "Motortester reload FLASH failed"},
    {1001, "Internal error: no interface"},
};

// A list of names for the values 0..N-1 (or from a first value on).
template <size_t N>
const char* Pick(const char* const (&names)[N], int value, int first = 0, const char* other = "ERR") {
  const int i = value - first;
  return (i >= 0 && i < static_cast<int>(N)) ? names[i] : other;
}

}  // namespace

const char* GetDefaultText(int id) {
  for (const IdText& t : kShortTexts)
    if (t.id == id) return t.text;
  return "UnkText";
}

const char* GetChannelName(int channel) {
  static const char* const names[] = {"Ch A", "Ch B"};
  return Pick(names, channel);
}

const char* GetChannelModeText(int mode) {
  static const char* const names[] = {"Ch A", "Ch B", "Ch A-B", "Ch B-A"};
  return Pick(names, mode);
}

const char* GetChannelText(int channel) {
  static const char* const names[] = {"A", "B"};
  return Pick(names, channel);
}

const char* GetMeasureText(int measure) {
  static const char* const names[] = {"Measure", "Max", "Min", "Freq", "Duty-Cycle"};
  return Pick(names, measure);
}

const char* GetChannelLetter(int index) {
  static const char* const names[] = {"A", "B", "C", "D"};
  return Pick(names, index);
}

const char* GetTriggerModeText(int mode) {
  static const char* const names[] = {"Trig", "Auto", "Single"};
  return Pick(names, mode, 0, "");
}

const char* GetRangeModeText(int filter) { return filter == 0 ? "Full" : "Noise"; }

const char* GetUnitSymbol(int unit) {
  static const char* const names[] = {"V", "A"};
  return Pick(names, unit, 0, "");
}

const char* GetCylinderPairText(int pair) {
  static const char* const names[] = {"C + D", "E + F", "All", "Back"};
  return Pick(names, pair, '0');
}

const char* GetStrokeText(int strokes) {
  switch (strokes) {
    case 2: return "2";
    case 4: return "4";
    default: return "ERR";
  }
}

const char* GetPercentLevelText(int level) {
  switch (level) {
    case 11: return "11%";
    case 15: return "15%";
    default: return "ERR";
  }
}

const char* GetCoilTypeText(int type) {
  static const char* const names[] = {"Simple", "Double"};
  return Pick(names, type);
}

const char* GetAutoManualText(int mode) {
  static const char* const names[] = {"Auto", "Manual"};
  return Pick(names, mode);
}

const char* GetSpeedSensorText(int type) {
  static const char* const names[] = {"IGN", "IND", "SEM", "PIE"};
  return Pick(names, type, 1);
}

const char* GetPressureSensorText(int type) {
  static const char* const names[] = {"AVL", "CAP"};
  return Pick(names, type, 1);
}

const char* GetInvertShortText(int mode) {
  static const char* const names[] = {"Inv A", "Inv B", "Inv AB", "NoInv"};
  return Pick(names, mode);
}

const char* GetInvertText(int mode) {
  static const char* const names[] = {"No Invert", "Invert ChA", "Invert ChB", "Invert ChA,ChB"};
  return Pick(names, mode, 0, "");
}
