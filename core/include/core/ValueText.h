// Small helpers the instrument panels and the scope chart share: the engine speed drawn with its
// unit, a measured value with as many decimals as its size allows, the zero of a magnitude's
// precision, the zero-offset adjustment of a meter reading and the alarm sound. GUI thread.
#pragma once

#include <platform/afxgdi.h>

struct MeterReading;

// Draws "value unit" right- and bottom-aligned in the rectangle in bold Arial half the
// rectangle's height, followed by a raised "-1" in a smaller font (the large height divided by
// smallRatio) unless the unit is exactly "RPM"; with "RPM" the exponent's place stays empty. The
// DC's font is restored; colours and background mode are the caller's.
void DrawValueWithUnit(LPCSTR value, LPCSTR unit, int left, int top, int right, int bottom, CDC* dc,
                       double smallRatio = 1.5);

// The value with 3 decimals from 1 to below 3, 2 below 30, 1 below 300 and none from 300 on;
// below 1 with a sub-unit prefix and no decimals ("500m"). Trailing zeros are kept.
CString FormatValueByMagnitude(double value);

// Plays the alarm (the program's sound 0) once; returns when it has ended.
void PlayAlarmSound();

// 0 in the precision a value of the magnitude m would have: decimals by |m| (below 1 none, below 3
// three, below 30 two, below 300 one, else none) and the sub-unit prefix of m (0.01 gives "0m").
CString FormatMeasuredValue(double m);

// Moves the reading's zero to its raw value: the minimum and maximum (when tracked) move with the
// offset, the zero-corrected value becomes 0 and the statistics take it in.
void ApplyZeroOffset(MeterReading& reading);
