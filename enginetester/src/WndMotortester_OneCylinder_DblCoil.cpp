#include <enginetester/WndMotortester_OneCylinder_DblCoil.h>

CWndMotortester_OneCylinder_DblCoil::CWndMotortester_OneCylinder_DblCoil(CMeasureEngine* engine)
    : CWndMotortester_HiVoltage(HiVoltageBatchState::DOUBLE_COIL, 10033, engine) {}
