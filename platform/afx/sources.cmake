# The class library's small vocabulary: CString and the typed arrays.
target_sources(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/CString.cpp)
kv_test(platform_afx_tests LABELS platform SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/CStringTest.cpp)
