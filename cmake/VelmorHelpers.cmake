# Adds every direct sub-folder of the current folder that holds a CMakeLists.txt, but those named
# (relative to the source root) in the cache list VELMOR_SKIP_DIRS.
function(velmor_add_subdirs)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
       AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${child})
      if(rel IN_LIST VELMOR_SKIP_DIRS)
        continue()
      endif()
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# velmor_add_test(NAME SOURCES a.cpp b.cpp LIBS x y [NO_MAIN] [TIMEOUT s] [LOCK name])
# A GoogleTest program run through CTest. Unless NO_MAIN is given it links the common main of
# tests/support (offscreen QApplication, UTF-8 locale, message-box recorder). Test programs lie in
# <build>/bin beside the libraries they load. Tests of one LOCK never run at the same time (the
# camera's tests time their pipelines, which a machine busy with other pipelines would upset).
# NO_LEAK_CHECK keeps a sanitizer build's address and undefined-behaviour checks for the program
# but not the leak check at its exit (for a program whose leak check outlasts any time limit).
function(velmor_add_test name)
  cmake_parse_arguments(T "NO_MAIN;NO_LEAK_CHECK" "TIMEOUT;LOCK" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_NO_MAIN)
    target_link_libraries(${name} PRIVATE velmor_testmain)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(VELMOR_ASAN)
    # Everything runs several times slower under the sanitizers, and the leak check at exit
    # symbolises every stack it weighs against a suppression: minutes for a program that
    # connected to its data sources a few dozen times.
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 4")
  endif()
  set(environment "QT_QPA_PLATFORM=offscreen")
  if(VELMOR_ASAN AND T_NO_LEAK_CHECK)
    list(APPEND environment "ASAN_OPTIONS=detect_leaks=0")
  endif()
  set(lock)
  if(T_LOCK)
    set(lock RESOURCE_LOCK ${T_LOCK})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120  # listing a sanitizer build's tests on a busy machine takes more than 5 s
    PROPERTIES TIMEOUT ${T_TIMEOUT}
               ENVIRONMENT "${environment}"
               ${lock})
endfunction()

# velmor_platform_library(target sources...): a static library of one platform layer. Its folder is
# on the include path as <layer>/<header>.h through the platform root. Whoever uses a layer links
# it by name.
function(velmor_platform_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/platform)
endfunction()

# velmor_station_library(target LIBS a b): the static library of one station folder, made of every
# source in it, included as <folder>/<header>.h through the station root. LIBS are the station
# libraries and platform layers it depends on; which folder may include which is checked by
# scripts/check-includes.sh.
function(velmor_station_library target)
  cmake_parse_arguments(S "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources)  # a folder whose windows are still to come
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR}/station)
    target_link_libraries(${target} INTERFACE ${S_LIBS})
    return()
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/station)
  target_link_libraries(${target} PUBLIC ${S_LIBS})
endfunction()

# velmor_add_bench(NAME SOURCES a.cpp LIBS x y): a Google Benchmark program under bench/. It is
# built with the project and run by hand (build/bin/NAME, see docs/developing.md), never by the
# test suite.
function(velmor_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()
