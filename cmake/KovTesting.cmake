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

# kov_add_test(name SOURCES ... LIBS ... [LABELS ...]): one test program and one ctest entry.
# Natively every case is its own ctest entry; under Wine the program runs once, since
# listing cases would start Wine once per case. LABELS are added to the build's own label
# ("threads" marks the tests that the ThreadSanitizer build runs).
function(kov_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  # The tests' shared helpers (testing/) are reachable from every test program.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/testing)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(CMAKE_CROSSCOMPILING)
    set(labels windows ${T_LABELS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${labels}")
  else()
    include(GoogleTest)
    # Parameterised cases are named by their instantiation's name generator; the printed
    # parameter would only add the bytes of a struct to the name.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST NO_PRETTY_VALUES
                         PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS native)
    if(T_LABELS)
      # Discovery flattens a property's list into separate words, so further labels are given
      # to the discovered cases by a script that ctest runs after the discovery's own.
      set(labels native ${T_LABELS})
      set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
      file(WRITE ${script} "foreach(t IN LISTS ${name}_TESTS)\n"
                           "  set_tests_properties(\"\${t}\" PROPERTIES LABELS \"${labels}\")\n"
                           "endforeach()\n")
      set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
    endif()
  endif()
endfunction()

# kov_add_e2e(PREFIX SCRIPT PROGRAM [TIMEOUT s] SCENARIOS ...): a program in real windows under
# Wine, one ctest entry PREFIX_SCENARIO per scenario of SCRIPT, run as
# `bash SCRIPT SCENARIO <PROGRAM's folder> <build>/e2e`. Each scenario starts and ends its own X
# server and Wine session, so no two run side by side; a scenario may skip itself with status 77.
function(kov_add_e2e prefix script program)
  cmake_parse_arguments(E "" "TIMEOUT" "SCENARIOS" ${ARGN})
  if(NOT E_TIMEOUT)
    set(E_TIMEOUT 240)
  endif()
  foreach(scenario ${E_SCENARIOS})
    add_test(NAME ${prefix}_${scenario}
      COMMAND bash ${script} ${scenario} $<TARGET_FILE_DIR:${program}> ${CMAKE_BINARY_DIR}/e2e)
    set_tests_properties(${prefix}_${scenario} PROPERTIES
      TIMEOUT ${E_TIMEOUT} RESOURCE_LOCK kov_e2e_wine LABELS "windows;e2e" SKIP_RETURN_CODE 77)
  endforeach()
endfunction()

# kov_add_pictures_check(NAME GENERATOR SOURCE_DIR [FILES ...]): natively, a test that the
# pictures kept in SOURCE_DIR are what GENERATOR draws now.
function(kov_add_pictures_check name generator source_dir)
  if(CMAKE_CROSSCOMPILING)
    return()
  endif()
  set(names)
  if(ARGN)
    # One argument, its list kept whole.
    string(REPLACE ";" "\\;" joined "${ARGN}")
    set(names "-DNAMES=${joined}")
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -DGENERATOR=$<TARGET_FILE:${generator}> -DSOURCE_DIR=${source_dir}
            -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/pictures ${names}
            -P ${PROJECT_SOURCE_DIR}/wizard/tests/CheckPictures.cmake)
  set_tests_properties(${name} PROPERTIES TIMEOUT 60 LABELS native)
endfunction()
