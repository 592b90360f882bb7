# Unit tests (pure logic, Win32 helpers, sessions opened on built packages) and package
# tests (real installations) are Windows programs run under Wine through the emulator.

# Shared test support: the package builder, Wine helpers.
file(GLOB TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(REMOVE_ITEM TEST_SUPPORT_SOURCES ${CMAKE_SOURCE_DIR}/tests/support/test_actions.cpp)
add_library(TidewellTestSupport STATIC ${TEST_SUPPORT_SOURCES})
tidewell_warnings(TidewellTestSupport)
target_include_directories(TidewellTestSupport PUBLIC ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(TidewellTestSupport PUBLIC TidewellCore GTest::gtest msi rpcrt4)

# A custom-action DLL for tests: drives the framework from inside real installations and
# fails an installation on demand so that rollback runs.
add_library(TestActions SHARED ${CMAKE_SOURCE_DIR}/tests/support/test_actions.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/test_actions.def)
tidewell_warnings(TestActions)
set_target_properties(TestActions PROPERTIES PREFIX "")
target_link_libraries(TestActions PRIVATE TidewellCore)
target_link_options(TestActions PRIVATE -Wl,--enable-stdcall-fixup)

function(tidewell_test_program name)
  file(GLOB sources CONFIGURE_DEPENDS ${ARGN})
  add_executable(${name} ${sources})
  tidewell_warnings(${name})
  target_link_libraries(${name} PRIVATE TidewellTestSupport GTest::gtest_main)
  add_dependencies(${name} Tidewell TestActions)
endfunction()

tidewell_test_program(tidewell_unit_tests ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
tidewell_test_program(tidewell_package_tests ${CMAKE_SOURCE_DIR}/tests/package/*.cpp)

# Windows Installer in Wine does not serialise installations, and the session tests open
# packages too: everything that touches the installer runs one at a time.
gtest_discover_tests(tidewell_unit_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_PREFIX "unit." PROPERTIES RESOURCE_LOCK windows_installer TIMEOUT 300)
gtest_discover_tests(tidewell_package_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_PREFIX "package." PROPERTIES RESOURCE_LOCK windows_installer TIMEOUT 600)

add_test(NAME library.layout
  COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:Tidewell> -DOBJDUMP=${CMAKE_OBJDUMP}
          -DEXPORTS=${CMAKE_BINARY_DIR}/exports.txt -P ${CMAKE_SOURCE_DIR}/cmake/check_library.cmake)

# The demo program that tools/demo.sh runs.
file(GLOB DEMO_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/demo/*.cpp)
add_executable(tidewell_demo ${DEMO_SOURCES})
tidewell_warnings(tidewell_demo)
target_include_directories(tidewell_demo PRIVATE ${CMAKE_SOURCE_DIR}/demo)
target_link_libraries(tidewell_demo PRIVATE TidewellTestSupport)
add_dependencies(tidewell_demo Tidewell TestActions)

# The authoring kit: a package built from exactly the IDT files of authoring/ with
# msitools' msibuild, installed with Wine's msiexec.
find_program(MSIBUILD msibuild)
if(MSIBUILD)
  add_test(NAME package.AuthoringKit.IdtFilesMakeAWorkingPackage
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/authoring_idt_test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}
            $<TARGET_FILE:Tidewell>)
  set_tests_properties(package.AuthoringKit.IdtFilesMakeAWorkingPackage PROPERTIES
    RESOURCE_LOCK windows_installer TIMEOUT 300)
endif()

# The library's folders include downwards only, and never each other in a circle.
add_test(NAME library.include_layers
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/layout/include_layers_test.sh ${CMAKE_SOURCE_DIR}/src)
