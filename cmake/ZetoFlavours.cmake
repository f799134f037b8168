# The SDK is built in two flavours from one source list: ZetoClientSdk
# (optimised, Qt assertions off, messages as texts alone) and ZetoClientSdkd
# (unoptimised, Qt assertions on, messages with file, line and function).
# Qt's CMake package adds QT_NO_DEBUG to every non-Debug configuration, so
# each target sets its flavour itself and the build type is left alone.

function(zeto_apply_flavour target flavour)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(flavour STREQUAL "release")
        target_compile_options(${target} PRIVATE -O2)
        target_compile_definitions(${target} PRIVATE QT_NO_DEBUG QT_NO_MESSAGELOGCONTEXT)
    else()
        target_compile_options(${target} PRIVATE -O0 -g -UQT_NO_DEBUG)
        target_compile_definitions(${target} PRIVATE QT_MESSAGELOGCONTEXT)
    endif()
    zeto_apply_instrumentation(${target})
endfunction()

# Sanitizers and fuzzing coverage reach every target of the build alike.
function(zeto_apply_instrumentation target)
    set(flags "")
    if(ZETO_SANITIZE)
        list(APPEND flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    endif()
    if(ZETO_BUILD_FUZZERS)
        list(APPEND flags -fsanitize=fuzzer-no-link)
    endif()
    if(flags)
        target_compile_options(${target} PRIVATE ${flags})
        target_link_options(${target} PRIVATE ${flags})
    endif()
endfunction()

# Tests, examples, benchmarks and fuzzers are programs built against one of
# the two libraries, in that library's flavour.
function(zeto_add_program target)
    cmake_parse_arguments(ARG "" "FLAVOUR" "SOURCES;LIBRARIES" ${ARGN})
    if(NOT ARG_FLAVOUR)
        set(ARG_FLAVOUR debug)
    endif()
    add_executable(${target} ${ARG_SOURCES})
    zeto_apply_flavour(${target} ${ARG_FLAVOUR})
    target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES})
endfunction()

# One QtTest program per module, registered with CTest.
function(zeto_add_test target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    zeto_add_program(${target} SOURCES ${ARG_SOURCES}
        LIBRARIES ZetoClientSdkd Qt5::Test ${ARG_LIBRARIES})
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_FORCE_STDERR_LOGGING=1"
        TIMEOUT 300)
endfunction()
