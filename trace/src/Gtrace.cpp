// The instance the link libraries import by name. Kept out of the library's test build, which
// makes its own objects with an in-memory viewer.
#include <trace/Logwisp.h>

CLogwisp GTRACE;
