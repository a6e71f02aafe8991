// The text of a measurement status of the acquisition engine (the status of a meter reading or of
// an oscilloscope error record): one of the built-in texts, "Unknown" for any other status. The
// scope's error log and the meter panes show the same texts.
#pragma once

const char* GetMeasureStatusText(int status);
