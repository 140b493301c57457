# GoogleTest from Debian's sources, built with the project's own compiler, so the same
# tests build natively and for Windows.
set(KOV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${KOV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own sources are not held to our warning settings.
foreach(t gtest gtest_main)
  target_compile_options(${t} PRIVATE -w)
endforeach()

# kov_add_test(name SOURCES ... LIBS ...): one test program and one ctest entry.
# Natively every case is its own ctest entry; under Wine the program runs once, since
# listing cases would start Wine once per case.
function(kov_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  # The tests' shared helpers (testing/) are reachable from every test program.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/testing)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS windows)
  else()
    include(GoogleTest)
    # Parameterised cases are named by their instantiation's name generator; the printed
    # parameter would only add the bytes of a struct to the name.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST NO_PRETTY_VALUES
                         PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS native)
  endif()
endfunction()
