/* tallyx.h compiles on its own as strict C99. */
#include <tallyx.h>

int TallyxHeaderC99(void) { return TALLYX_OK + TALLYX_MARK_NO_PROBE; }
