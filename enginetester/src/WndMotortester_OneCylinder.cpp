#include <enginetester/WndMotortester_OneCylinder.h>

CWndMotortester_OneCylinder::CWndMotortester_OneCylinder(CMeasureEngine* engine)
    : CWndMotortester_HiVoltage(HiVoltageBatchState::ONE_CYLINDER, 10033, engine) {}
