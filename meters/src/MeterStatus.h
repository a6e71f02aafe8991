// The one place the meter panes get the text of an engine measurement status from. The status
// texts belong to the scope's data path; until that is built this adapter maps the statuses to
// the built-in texts itself, and then it forwards to it.
#pragma once

#include <platform/afx.h>

CString MeterStatusText(int status);
