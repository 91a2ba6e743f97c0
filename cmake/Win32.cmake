# Cross build: the launcher stub, its Wine-run tests and the test fixtures.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# Static runtime: the launcher must start on a bare Windows and import only
# system DLLs.
set(KVO_STATIC_LINK -static -static-libgcc -static-libstdc++)
set(KVO_WIN_DEFINES WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

include(${CMAKE_SOURCE_DIR}/cmake/Launcher.cmake)

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${KVO_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Both trees run every tier: the 64-bit launcher is built from the same
# sources and is what most users start, and some machines can run only it.
set(KVO_WINE_TIERS tests/wine tests/fixtures tests/e2e tests/realvm)
foreach(dir ${KVO_WINE_TIERS})
    if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
        add_subdirectory(${dir})
    endif()
endforeach()

# The packer for Windows build hosts (kvo-pack.exe), tested under Wine: the
# command-line tests of the Linux tool, and byte for byte against it.
add_subdirectory(${CMAKE_SOURCE_DIR}/tools/kvo-pack ${CMAKE_BINARY_DIR}/kvo-pack-build)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(KVO_STUBS ${CMAKE_SOURCE_DIR}/build/win32/launcher.exe ${CMAKE_SOURCE_DIR}/build/win64/launcher.exe)
add_test(NAME packer.windows_cli
         COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/packer/cli_test.py
                 $<TARGET_FILE:kvo-pack> ${CMAKE_SOURCE_DIR}/examples/app.kvo ${KVO_STUBS})
add_test(NAME packer.windows_same_bytes
         COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/packer/same_bytes_test.py
                 ${CMAKE_SOURCE_DIR}/build/native/kvo-pack $<TARGET_FILE:kvo-pack>
                 ${CMAKE_SOURCE_DIR}/examples/app.kvo ${KVO_STUBS})
set_tests_properties(packer.windows_cli packer.windows_same_bytes PROPERTIES
    ENVIRONMENT "KVO_PACK_RUNNER=${CMAKE_SOURCE_DIR}/scripts/wine-run.sh;PYTHONDONTWRITEBYTECODE=1"
    TIMEOUT 600)

# The start-up benchmark's programs (scripts/bench-startup.sh).
add_subdirectory(${CMAKE_SOURCE_DIR}/bench ${CMAKE_BINARY_DIR}/bench-build)
