# Shared build settings and helpers for every subsystem.

# Warnings for our own code only; third-party headers come in as SYSTEM.
function(fx_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

if(FX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# fx_add_test(NAME <name> LABEL <label> SOURCES <files...> [LIBS <targets...>]
#             [ENV <VAR=value...>] [DISPLAY])
# Builds one GoogleTest executable and registers it with CTest under the
# subsystem's label. DISPLAY marks tests that need an X server.
function(fx_add_test)
    if(NOT FX_TESTS)
        return()
    endif()
    cmake_parse_arguments(T "DISPLAY" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS;ENV;ARGS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    fx_warnings(${T_NAME})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} ${T_ARGS})
    set(labels ${T_LABEL})
    if(T_DISPLAY)
        list(APPEND labels display)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT}
                         ENVIRONMENT "FX_BUNDLE_DIR=${FX_BUNDLE_DIR};FX_BIN_DIR=${CMAKE_BINARY_DIR}/bin;${T_ENV}")
endfunction()

# fx_add_benchmark(NAME <name> SOURCES <files...> [LIBS <targets...>])
# Benchmarks are built with the project but never run by CTest.
function(fx_add_benchmark)
    if(NOT FX_BENCHMARKS)
        return()
    endif()
    cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${B_NAME} ${B_SOURCES})
    fx_warnings(${B_NAME})
    target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
    set_target_properties(${B_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# fx_add_bundle(NAME <Name> EXTENSION <vst|component> TARGET <shared-library-target>
#               [INFO_PLIST <file>] [RESOURCES_FROM <target-producing-dir>] [RESOURCE_DIR <dir>])
# Lays a plug-in out as a bundle in build/bundles:
#   <Name>.<ext>/Contents/x86_64-linux/<Name>.so
#   <Name>.<ext>/Contents/Info.plist            (when given)
#   <Name>.<ext>/Contents/Resources/...         (when given)
function(fx_add_bundle)
    cmake_parse_arguments(B "" "NAME;EXTENSION;TARGET;INFO_PLIST;RESOURCE_DIR" "RESOURCE_DEPENDS" ${ARGN})
    set(contents ${FX_BUNDLE_DIR}/${B_NAME}.${B_EXTENSION}/Contents)
    set_target_properties(${B_TARGET} PROPERTIES
        PREFIX ""
        OUTPUT_NAME ${B_NAME}
        LIBRARY_OUTPUT_DIRECTORY ${contents}/x86_64-linux
        CXX_VISIBILITY_PRESET hidden
        C_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    if(B_INFO_PLIST)
        configure_file(${B_INFO_PLIST} ${contents}/Info.plist @ONLY)
    endif()
    if(B_RESOURCE_DIR)
        add_custom_command(TARGET ${B_TARGET} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E make_directory ${contents}/Resources
            COMMAND ${CMAKE_COMMAND} -E copy_directory ${B_RESOURCE_DIR} ${contents}/Resources
            VERBATIM)
    endif()
    if(B_RESOURCE_DEPENDS)
        add_dependencies(${B_TARGET} ${B_RESOURCE_DEPENDS})
    endif()
endfunction()
