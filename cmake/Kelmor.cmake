# kelmor_library(NAME [DEPS ...]): a static library of every .cpp/.h in the calling folder
# (not its ui/ subfolder), with src/ as the include root.
function(kelmor_library name)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# kelmor_test(NAME [GUI] SOURCES... LIBS ...): one GoogleTest executable, each test its own CTest case
# run in a fresh KELMOR_HOME (tests/support/test_main.cpp).
function(kelmor_test name)
    cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_GUI)
        target_link_libraries(${name} PRIVATE kelmor_test_support_gui ${T_LIBS})
    else()
        target_link_libraries(${name} PRIVATE kelmor_test_support ${T_LIBS})
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# kelmor_fuzzer(NAME SOURCE LIBS...): built only with -DKELMOR_FUZZ=ON (clang).
function(kelmor_fuzzer name source)
    if(KELMOR_FUZZ)
        add_executable(fuzz_${name} ${source})
        target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
        target_link_libraries(fuzz_${name} PRIVATE ${ARGN})
    endif()
endfunction()

# kelmor_bench(NAME SOURCES... LIBS ...)
function(kelmor_bench name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    if(benchmark_FOUND)
        add_executable(bench_${name} ${B_SOURCES})
        target_link_libraries(bench_${name} PRIVATE benchmark::benchmark ${B_LIBS})
    endif()
endfunction()
