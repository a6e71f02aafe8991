// The probes that belong to each connector of the measuring board and the engine-tester board,
// by the current help mode (the measurement the user chose): the text the help pane shows beside
// the connector and the probe codes that fit there. The probe check before a measurement reads
// the same lists.
#pragma once

#include <platform/afx.h>

struct ProbeConnection {
  enum { MAX_CODES = 6 };
  CString m_strText;
  int m_nCodes[MAX_CODES] = {};
  int m_nCodeCount = 0;

  bool Contains(int code) const;
};

// Connector 0..9 for the help mode, with (engineTester TRUE) or without the engine-tester board;
// the coil type (0 or 1, -1 unset) chooses the reference probes of connector 4 in modes 12 and
// 13. A connector outside the tables gets an empty text and no codes, and the result is FALSE.
BOOL FormatProbeConnection(int input, int helpMode, BOOL engineTester, int coilType, ProbeConnection& out);
// The same for the engine-tester data object's help mode, board readiness and coil type.
BOOL FormatProbeConnection(int input, ProbeConnection& out);
