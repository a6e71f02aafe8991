// The int result codes that every operation of the sixteen instrument interfaces returns
// (0 = success). Callers compare against these names; the numbers are fixed.
#pragma once

namespace kv310 {

enum ResultCode : int {
  kOk = 0,
  kOpenFailed = 1,             // Open: a link exists already, or the link library cannot be bound
  kCloseRefused = 2,           // Close: no link, or the link is not in the ready state
  kStartFailed = 3,            // Start: the link does not start
  kStopFailed = 4,             // Stop: the link did not reach the ready state
  kNoLink = 5,                 // no link object or no link library; also: firmware file unreadable
  kLinkNotStarted = 7,         // the link is open but not started; Recover: restart failed
  kLinkBusy = 8,               // the link is busy or in error
  kNothingToAbort = 9,         // AbortRead: nothing abortable is pending
  kLinkTimeout = 10,           // the last request ended with a link time-out
  kLinkError = 11,             // another link error; also: a board instrument found the engine tester
  kBadArgument = 12,           // null pointer, count or value out of range
  kNoData = 13,                // no link for a status request; a reply without data or of the wrong kind
  kBadReply = 14,              // reply missing, too short, wrong command byte or non-zero status
  kBoardErrorFlag = 15,        // an oscilloscope data reply carries the board's error mark
  kWrongProbe = 16,            // a probe of the wrong kind is connected
  kBoardNotReady = 17,         // the board reports status 2 for a measurement
  kNotAllowed = 18,            // not allowed in the current mode of the instrument
  kOutsideProbeLimits = 19,    // value outside the limits of the connected probe or range
  kNoDownloadMode = 20,        // firmware update: the board did not enter download mode
  kFirmwareKeyMissing = 21,    // firmware update: the registry key of the firmware file cannot be opened
  kFirmwareFileUnreadable = 23,  // firmware update: the file cannot be opened for download
  kFirmwareLineRefused = 24,   // firmware update: the board refused a line of the file
  kFirmwareVersionStatus = 25,  // firmware version: the board answers with status 1
  kBoardErrorStatus = 26,      // the board answers with an error status; final update step failed
  kNoEngineTester = 28,        // no engine-tester board is connected
  kBadEngineType = 29,         // engine type neither 0 (spark) nor 1 (diesel)
  kUnknownSelection = 30,      // an instrument mode or input selection the instrument does not know
  kProbeOnWrongInput = 31,     // reference probe not on input 4; probe kind not allowed on an input
  kPolarityRefused = 32,       // automatic polarity detection refused: high-voltage probe option set
  kPolarityUndecided = 33,     // automatic polarity detection cannot decide
  kProbeVariantRefused = 34,   // not possible with reference probe variant 112 and these engine settings
  kNoReferenceProbe = 35,      // no reference probe found on any input
  kSampleRateTooHigh = 36,     // recording check: sample-rate index above 10
  kTriggerModeRefused = 37,    // recording check: trigger mode other than 0 or 2
  kAcquisitionModeRefused = 38,  // recording check: acquisition mode other than 0
  kBufferTooSmall = 39,        // sampling read: the caller's buffer holds fewer than 2000 samples
  kNotStarted = 40,            // no measurement was started
  kLeakAnalysisFailed = 41,    // the leak-test analysis of the signal fails
};

}  // namespace kv310
