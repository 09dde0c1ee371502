# GoogleTest: Debian's package natively; compiled from /usr/src/googletest for the MinGW builds.
if(MIREO_BUILD_TESTS)
  enable_testing()
  if(CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # googletest 1.12 defines the GTest:: aliases itself; older sources do not.
    foreach(lib gtest gtest_main gmock)
      if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
      endif()
    endforeach()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

# mireo_add_test(name SOURCES a.cpp b.cpp LIBS x y [ENV "A=B" ...] [LABELS l])
# One CTest entry per test binary: under wine every process start costs, so the
# binary runs all its cases at once.
function(mireo_add_test name)
  if(NOT MIREO_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    MIREO_TESTDATA_DIR="${MIREO_TESTDATA_DIR}"
    MIREO_SHARED_DIR="${MIREO_SHARED_DIR}")
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(T_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# The Python oracles use Debian's packages (python3-dateutil, python3-vobject), which
# only the system interpreter sees; another python3 earlier on PATH may lack them.
if(EXISTS /usr/bin/python3 AND NOT DEFINED Python3_EXECUTABLE)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Interpreter of the test oracles")
endif()
