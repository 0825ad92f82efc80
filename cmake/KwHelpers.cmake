# kw_add_test(NAME SOURCES a.cpp b.cpp LIBS lib...)
# One Qt Test executable registered with CTest; runs headless with its own
# temporary configuration and data directories so it never touches the user's.
function(kw_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    KW_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KITWARDEN_CONFIG_DIR=${CMAKE_BINARY_DIR}/testcfg/${name};KITWARDEN_DATA_DIR=${CMAKE_BINARY_DIR}/testdata/${name};ASAN_OPTIONS=detect_leaks=0")
endfunction()

# kw_add_library(NAME ALIAS SOURCES ... LIBS ...)
function(kw_add_library name alias)
  cmake_parse_arguments(L "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  add_library(Kitwarden::${alias} ALIAS ${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_LIBS})
endfunction()
