# Host build: the packer, unit tests under sanitizers, the fuzzer, the screen saver.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

add_library(kvo_pure STATIC ${KVO_PURE_SOURCES})
target_include_directories(kvo_pure PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(kvo_pure PRIVATE -Wall -Wextra)

# The JVM stage, for the HotSpot host: without sanitizers, which HotSpot's
# own signal handling does not suffer.
add_library(kvo_stage STATIC ${KVO_STAGE_SOURCES})
target_link_libraries(kvo_stage PUBLIC kvo_pure)
target_compile_options(kvo_stage PRIVATE -Wall -Wextra)

set(KVO_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_library(kvo_pure_san STATIC ${KVO_PURE_SOURCES})
target_include_directories(kvo_pure_san PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(kvo_pure_san PUBLIC ${KVO_SANITIZE} -Wall -Wextra)
target_link_options(kvo_pure_san PUBLIC ${KVO_SANITIZE})

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KVO_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)
include(${CMAKE_SOURCE_DIR}/cmake/Libpng.cmake)

foreach(dir tools/kvo-pack tests/unit tests/packer tests/fuzz tests/hotspot screensaver)
    if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
        add_subdirectory(${dir})
    endif()
endforeach()
