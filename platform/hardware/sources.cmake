# Simulated hardware: the provider module named by HKLM "SOFTWARE\KV310Platform"
# "SimulatedHardware" is loaded once, before the first serial port or device is opened.
target_sources(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SimulatedHardware.cpp)
