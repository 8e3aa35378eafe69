# Shared helpers: every src/ folder is one static library, every tests/ folder one GoogleTest
# executable, every bench/ source one benchmark program.

set(QUORVIN_WARNINGS -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor -Werror
    -Wno-error=deprecated-declarations)

# quorvin_add_library(<folder> [NAME name] [EXCLUDE subfolder...] [DEPS target...])
# Builds src/<folder>/**.cpp into quorvin_<name> (name defaults to the folder). Headers are included
# as "<folder>/X.h". EXCLUDE leaves out subfolders that form a library of their own.
function(quorvin_add_library folder)
  cmake_parse_arguments(ARG "" "NAME" "EXCLUDE;DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
  foreach(excluded ${ARG_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "^${PROJECT_SOURCE_DIR}/src/${folder}/${excluded}/")
  endforeach()
  if(NOT ARG_NAME)
    set(ARG_NAME ${folder})
  endif()
  set(target quorvin_${ARG_NAME})
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${target} PRIVATE ${QUORVIN_WARNINGS})
  target_compile_definitions(${target} PUBLIC QT_NO_KEYWORDS)
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
endfunction()

# quorvin_add_tests(<folder> [NAME <name>] [LABEL <label>] [EXCLUDE subfolder...] [LAUNCHER command...]
#                   [DEPS target...])
# Builds tests/<folder>/**.cpp (but the EXCLUDEd subfolders) into <name>_tests and registers every
# case with CTest under one label; name and label default to the folder. (One label only: the
# test discovery of CMake 3.25 splits a list of labels into separate properties.) LAUNCHER runs
# each case (and the listing of cases) through a command, e.g. one that sets up a session.
function(quorvin_add_tests folder)
  cmake_parse_arguments(ARG "" "NAME;LABEL" "DEPS;EXCLUDE;LAUNCHER" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/tests/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/tests/${folder}/*.h)
  foreach(subfolder ${ARG_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "^${PROJECT_SOURCE_DIR}/tests/${folder}/${subfolder}/")
  endforeach()
  if(NOT ARG_NAME)
    set(ARG_NAME ${folder})
  endif()
  if(NOT ARG_LABEL)
    set(ARG_LABEL ${folder})
  endif()
  set(target ${ARG_NAME}_tests)
  add_executable(${target} ${sources} ${PROJECT_SOURCE_DIR}/tests/support/TestMain.cpp)
  target_compile_options(${target} PRIVATE ${QUORVIN_WARNINGS})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} quorvin_testsupport GTest::gtest GTest::gmock)
  if(ARG_LAUNCHER)
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR ${ARG_LAUNCHER})
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${ARG_LABEL}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# quorvin_add_bench(<name> [DEPS target...]) builds bench/<name>.cpp with Google Benchmark.
function(quorvin_add_bench name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  add_executable(bench_${name} ${PROJECT_SOURCE_DIR}/bench/${name}.cpp)
  target_compile_options(bench_${name} PRIVATE ${QUORVIN_WARNINGS})
  target_link_libraries(bench_${name} PRIVATE ${ARG_DEPS} quorvin_testsupport benchmark::benchmark)
endfunction()
