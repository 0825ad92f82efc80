kw_add_test(tst_dmmain SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_dmmain.cpp LIBS Kitwarden::data)
kw_add_test(tst_fieldvalue SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_fieldvalue.cpp LIBS Kitwarden::data)
kw_add_test(tst_filterexpr SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_filterexpr.cpp LIBS Kitwarden::data)
kw_add_test(tst_duerules SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_duerules.cpp LIBS Kitwarden::data)
