// The program's fixed texts: the built-in English language texts (used when no language library
// is loaded), the short English texts addressed by small numbers, and the names of enumeration
// values. All are Windows-1252 byte strings that live for the whole run.
#pragma once

#include <platform/types.h>

// Language texts 10000..10175; any other id gives the empty text.
const char* GetDefaultLanguageText(int id);
// The character set of the built-in texts (0, ANSI).
BYTE GetDefaultCharSet();
enum { kFirstLanguageTextId = 10000, kLastLanguageTextId = 10175 };

// The short texts; any id not in the table gives "UnkText".
const char* GetDefaultText(int id);

// Enumeration names; "ERR" for a value outside the list unless said.
const char* GetChannelName(int channel);      // "Ch A", "Ch B"
const char* GetChannelModeText(int mode);     // "Ch A", "Ch B", "Ch A-B", "Ch B-A"
const char* GetChannelText(int channel);      // "A", "B"
const char* GetMeasureText(int measure);      // "Measure", "Max", "Min", "Freq", "Duty-Cycle"
const char* GetChannelLetter(int index);      // "A".."D"
const char* GetTriggerModeText(int mode);     // "Trig", "Auto", "Single"; else empty
const char* GetRangeModeText(int filter);     // 0 "Full", non-zero "Noise"
const char* GetUnitSymbol(int unit);          // "V", "A"; else empty
const char* GetCylinderPairText(int pair);    // '0' "C + D", '1' "E + F", '2' "All", '3' "Back"
const char* GetStrokeText(int strokes);       // 2, 4
const char* GetPercentLevelText(int level);   // 11 "11%", 15 "15%"
const char* GetCoilTypeText(int type);        // "Simple", "Double"
const char* GetAutoManualText(int mode);      // "Auto", "Manual"
const char* GetSpeedSensorText(int type);     // 1 "IGN", 2 "IND", 3 "SEM", 4 "PIE"
const char* GetPressureSensorText(int type);  // 1 "AVL", 2 "CAP"
const char* GetInvertShortText(int mode);     // "Inv A", "Inv B", "Inv AB", "NoInv"
const char* GetInvertText(int mode);          // "No Invert", "Invert ChA", ...; else empty
