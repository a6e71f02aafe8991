#include <enginetester/WndMotortester_AllCylinders.h>

CWndMotortester_AllCylinders::CWndMotortester_AllCylinders(CMeasureEngine* engine)
    : CWndMotortester_HiVoltage(HiVoltageBatchState::ALL_CYLINDERS, 10034, engine) {}
