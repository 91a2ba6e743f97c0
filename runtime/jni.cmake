# JNI declarations for the Windows build: jni.h of the JDK installed on the
# build machine (not kept in the repository) together with the project's own
# 32-bit Windows jni_md.h in runtime/include.
if(CMAKE_CROSSCOMPILING AND WIN32)
    file(GLOB KVO_JDK_JNI_HEADERS /usr/lib/jvm/java-17-openjdk*/include/jni.h /usr/lib/jvm/*/include/jni.h)
    list(GET KVO_JDK_JNI_HEADERS 0 KVO_JDK_JNI_HEADER)
    if(NOT KVO_JDK_JNI_HEADER)
        message(FATAL_ERROR "jni.h not found below /usr/lib/jvm: install openjdk-17-jdk-headless")
    endif()
    get_filename_component(KVO_JNI_INCLUDE ${KVO_JDK_JNI_HEADER} DIRECTORY)
    set(KVO_JNI_INCLUDE_DIRS ${KVO_JNI_INCLUDE} ${CMAKE_SOURCE_DIR}/runtime/include)
    # The launcher library is defined later in this directory.
    cmake_language(DEFER CALL target_include_directories launcher_core SYSTEM PUBLIC ${KVO_JNI_INCLUDE_DIRS})
endif()
