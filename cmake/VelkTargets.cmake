# Project-wide target helpers: warnings as errors on our own targets, the sanitizer
# switch, and one way to declare a test.

set(SANITIZER "" CACHE STRING "Build with a sanitizer: address (with undefined), undefined, thread or empty")
set(VELK_WERROR ON CACHE BOOL "Treat warnings as errors on the project's own targets")

if(SANITIZER STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(SANITIZER STREQUAL "undefined")
  add_compile_options(-fsanitize=undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=undefined)
elseif(SANITIZER STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT SANITIZER STREQUAL "")
  message(FATAL_ERROR "SANITIZER must be address, undefined, thread or empty")
endif()

# The libFuzzer build of the fuzz harnesses (scripts/fuzz.sh): clang only. Every target gets
# the coverage instrumentation and AddressSanitizer + UndefinedBehaviorSanitizer; the harness
# programs link libFuzzer's main. Without it the harnesses replay their corpora under CTest.
option(VELK_FUZZ "Build the fuzz harnesses with clang's libFuzzer" OFF)
if(VELK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VELK_FUZZ needs clang++ (CMAKE_CXX_COMPILER=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

function(velk_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(VELK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# velk_library(name SOURCES ... LIBS ...): one library per subsystem folder.
function(velk_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  velk_warnings(${name})
endfunction()

# velk_test(name SOURCES ... LIBS ... LABELS ... [TIMEOUT s] [GUI]): a GoogleTest program
# registered with CTest. GUI tests run on the offscreen Qt platform.
function(velk_test name)
  cmake_parse_arguments(ARG "GUI" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock velk_testmain)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  velk_warnings(${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen;VELK_TEST_DATA=${CMAKE_CURRENT_SOURCE_DIR};VELK_BIN_DIR=${PROJECT_BINARY_DIR}/bin")
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${env}")
endfunction()
