# Build helpers shared by every folder: compiler flags, dependencies, and the
# one-test-binary-per-folder rule.

macro(qm_setup_compiler)
  add_compile_options(-Wall -Wextra)
  if(QM_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(QM_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      message(FATAL_ERROR "QM_FUZZ=ON needs Clang (configure with CXX=clang++)")
    endif()
    # Coverage instrumentation for everything the fuzzers link; the fuzzer
    # main itself is added on the fuzz targets only.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
endmacro()

macro(qm_find_dependencies)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
  find_package(Threads REQUIRED)
  if(QM_TESTS)
    find_package(GTest REQUIRED)
    include(GoogleTest)
  endif()
  if(QM_BENCH)
    find_package(benchmark REQUIRED)
  endif()
endmacro()

# qm_sources(<out-var>): the non-test .cpp files of the calling folder.
function(qm_sources out)
  file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER found EXCLUDE REGEX "_test\\.cpp$")
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# qm_tests(<binary> LIBS <libs...>): one GoogleTest binary made of the
# calling folder's *_test.cpp files, registered with CTest test by test.
function(qm_tests binary)
  if(NOT QM_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "LIBS;SOURCES" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  list(APPEND tests ${ARG_SOURCES})
  if(NOT tests)
    return()
  endif()
  add_executable(${binary} ${tests})
  target_link_libraries(${binary} PRIVATE ${ARG_LIBS} qm_testsupport GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${binary} DISCOVERY_MODE PRE_TEST
                       PROPERTIES TIMEOUT 120 LABELS unit)
endfunction()

# qm_add_subfolders(): add_subdirectory for every direct subfolder that has
# a CMakeLists.txt, in name order; rtl first, as everything builds on it.
macro(qm_add_subfolders)
  file(GLOB _qm_children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _qm_children)
  if("rtl" IN_LIST _qm_children)
    list(REMOVE_ITEM _qm_children rtl)
    list(PREPEND _qm_children rtl)
  endif()
  foreach(_qm_child IN LISTS _qm_children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_qm_child}/CMakeLists.txt)
      add_subdirectory(${_qm_child})
    endif()
  endforeach()
endmacro()
