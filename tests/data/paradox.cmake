# Paradox table layer. pxlib is linked into the oracle test only, never into
# the engine.
kw_add_test(tst_paradox SOURCES tst_paradox.cpp LIBS Kitwarden::shop Kitwarden::testsupport)
# pxlib-dev is one of the build dependencies: without it configuring fails
# rather than the oracle test dropping out.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PXLIB REQUIRED IMPORTED_TARGET pxlib)
kw_add_test(tst_paradox_pxlib SOURCES tst_paradox_pxlib.cpp LIBS Kitwarden::shop Kitwarden::testsupport PkgConfig::PXLIB)

# Durability: the test kills this writer with SIGKILL while it posts.
if(UNIX)
  add_executable(px_crash_writer px_crash_writer.cpp)
  target_link_libraries(px_crash_writer PRIVATE Kitwarden::engine)
  kw_add_test(tst_paradox_crash SOURCES tst_paradox_crash.cpp LIBS Kitwarden::shop Kitwarden::testsupport)
  target_compile_definitions(tst_paradox_crash PRIVATE PX_CRASH_WRITER="$<TARGET_FILE:px_crash_writer>")
  add_dependencies(tst_paradox_crash px_crash_writer)
endif()

# Damaged tables refused by name and nothing written; the way back (repair).
kw_add_test(tst_paradox_damage SOURCES tst_paradox_damage.cpp LIBS Kitwarden::shop Kitwarden::testsupport)
