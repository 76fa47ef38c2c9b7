# Small helpers so every subsystem declares its targets the same way.

# kelvaro_library(NAME [QT] SOURCES ... [DEPS ...])
# Plain libraries are built in every configuration; QT libraries only with the GUI.
function(kelvaro_library name)
  cmake_parse_arguments(K "QT" "" "SOURCES;DEPS" ${ARGN})
  if(K_QT AND NOT KELVARO_WITH_GUI)
    return()
  endif()
  add_library(${name} STATIC ${K_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(K_DEPS)
    target_link_libraries(${name} PUBLIC ${K_DEPS})
  endif()
  set_property(GLOBAL APPEND PROPERTY KELVARO_LIBRARIES ${name})
endfunction()

# kelvaro_test(NAME [QT] [GL] SOURCES ... [DEPS ...])
# One GoogleTest executable; QT tests run offscreen, GL tests need an X server (xvfb-run).
function(kelvaro_test name)
  cmake_parse_arguments(K "QT;GL" "" "SOURCES;DEPS" ${ARGN})
  if((K_QT OR K_GL) AND NOT KELVARO_WITH_GUI)
    return()
  endif()
  add_executable(${name} ${K_SOURCES})
  target_link_libraries(${name} PRIVATE ${K_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    KELVARO_SHARED_DIR="${KELVARO_SHARED_DIR}"
    KELVARO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KELVARO_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(labels unit)
  if(K_QT OR K_GL)
    set(labels gui)
  endif()
  set(env "QT_QPA_PLATFORM=offscreen")
  if(K_GL)
    set(env "")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${labels}" ENVIRONMENT "${env}")
endfunction()
