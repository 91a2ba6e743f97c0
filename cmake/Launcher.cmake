# The launcher stub: every source of the subsystem folders goes into a library
# that the Wine-run tests link as well; the entry point (launcher/) is the
# program's own.
set(KVO_LAUNCHER_SOURCES)
foreach(dir ${KVO_SUBSYSTEMS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND KVO_LAUNCHER_SOURCES ${found})
endforeach()

add_library(launcher_core STATIC ${KVO_LAUNCHER_SOURCES})
target_include_directories(launcher_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(launcher_core PUBLIC ${KVO_WIN_DEFINES} __USE_MINGW_ANSI_STDIO=1)
target_compile_options(launcher_core PRIVATE -Wall -Wextra -fno-exceptions)
target_link_libraries(launcher_core PUBLIC kernel32)

# One manifest for both machines; only the processor architecture differs.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(KVO_MANIFEST_ARCH amd64)
else()
    set(KVO_MANIFEST_ARCH X86)
endif()
set(KVO_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/launcher/launcher.manifest.in ${KVO_GENERATED_DIR}/launcher.manifest @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/launcher/common-controls.manifest.in ${KVO_GENERATED_DIR}/common-controls.manifest
               @ONLY)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I ${KVO_GENERATED_DIR}")

add_executable(launcher WIN32 ${CMAKE_SOURCE_DIR}/launcher/Launcher.cpp ${CMAKE_SOURCE_DIR}/launcher/launcher.rc)
target_link_libraries(launcher PRIVATE launcher_core)
target_compile_options(launcher PRIVATE -Wall -Wextra -fno-exceptions)
target_link_options(launcher PRIVATE ${KVO_STATIC_LINK} -s)
set_source_files_properties(${CMAKE_SOURCE_DIR}/launcher/launcher.rc PROPERTIES
    OBJECT_DEPENDS "${KVO_GENERATED_DIR}/launcher.manifest;${KVO_GENERATED_DIR}/common-controls.manifest")
