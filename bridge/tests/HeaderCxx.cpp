// tallyx.h compiles on its own as C++, with C linkage for its prototypes.
#include <tallyx.h>

#include <type_traits>

static_assert(std::is_same_v<decltype(&GetAdvanceData), int (*)(int*, double*, int*, int*)>);
static_assert(TALLYX_MARK_NOT_VALID == -1000 && TALLYX_NO_ADVANCE_PROBE == 6);
