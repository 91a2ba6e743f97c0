# libpng for both packers, built statically from one Debian source tree
# (scripts/fetch-libpng-source.sh): the Linux packer and the Windows packer
# decode a splash PNG with the very same code, whatever libpng the machine
# has installed. Against the host's zlib natively, the cross toolchain's
# static zlib for Windows. KVO_LIBPNG_SOURCE names the unpacked tree.
set(KVO_LIBPNG_SOURCE "" CACHE PATH "Debian's libpng source tree (scripts/fetch-libpng-source.sh)")
if(NOT KVO_LIBPNG_SOURCE)
    file(GLOB found LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/build/third-party/libpng/libpng-*)
    list(SORT found)
    list(POP_BACK found KVO_LIBPNG_SOURCE)
endif()
if(NOT EXISTS "${KVO_LIBPNG_SOURCE}/png.c")
    message(FATAL_ERROR "no libpng source for the packer: run scripts/fetch-libpng-source.sh build/third-party/libpng (make does)")
endif()

if(WIN32)
    find_library(KVO_PNG_ZLIB NAMES libz.a z REQUIRED)
    find_path(KVO_PNG_ZLIB_INCLUDE zlib.h REQUIRED)
else()
    find_package(ZLIB REQUIRED)
    set(KVO_PNG_ZLIB ZLIB::ZLIB)
    set(KVO_PNG_ZLIB_INCLUDE ${ZLIB_INCLUDE_DIRS})
endif()

set(KVO_LIBPNG_CONFIG_DIR ${CMAKE_BINARY_DIR}/libpng-config)
configure_file(${KVO_LIBPNG_SOURCE}/scripts/pnglibconf.h.prebuilt ${KVO_LIBPNG_CONFIG_DIR}/pnglibconf.h COPYONLY)
add_library(kvo_png STATIC
    ${KVO_LIBPNG_SOURCE}/png.c ${KVO_LIBPNG_SOURCE}/pngerror.c ${KVO_LIBPNG_SOURCE}/pngget.c
    ${KVO_LIBPNG_SOURCE}/pngmem.c ${KVO_LIBPNG_SOURCE}/pngpread.c ${KVO_LIBPNG_SOURCE}/pngread.c
    ${KVO_LIBPNG_SOURCE}/pngrio.c ${KVO_LIBPNG_SOURCE}/pngrtran.c ${KVO_LIBPNG_SOURCE}/pngrutil.c
    ${KVO_LIBPNG_SOURCE}/pngset.c ${KVO_LIBPNG_SOURCE}/pngtrans.c ${KVO_LIBPNG_SOURCE}/pngwio.c
    ${KVO_LIBPNG_SOURCE}/pngwrite.c ${KVO_LIBPNG_SOURCE}/pngwtran.c ${KVO_LIBPNG_SOURCE}/pngwutil.c)
target_include_directories(kvo_png SYSTEM PUBLIC ${KVO_LIBPNG_SOURCE} ${KVO_LIBPNG_CONFIG_DIR} ${KVO_PNG_ZLIB_INCLUDE})
# The 32-bit build computes in SSE registers like the 64-bit one and the
# Linux build: x87's wider intermediates could round a composited pixel the
# other way.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_options(kvo_png PRIVATE -msse2 -mfpmath=sse)
endif()
target_compile_options(kvo_png PRIVATE -w)
target_link_libraries(kvo_png PUBLIC ${KVO_PNG_ZLIB})
add_library(PNG::PNG ALIAS kvo_png)
