# The class library's small vocabulary: CString and the typed arrays; CFile, CTime and the
# system's error texts.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CString.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AfxFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AfxTime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SystemMessages.cpp)
kv_test(platform_afx_tests LABELS platform SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/CStringTest.cpp)
kv_test(platform_afx_file_tests LABELS platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/AfxFileTest.cpp)
