# JNI declarations: jni.h of the JDK installed on the build machine (not kept
# in the repository). The Windows build pairs it with the project's own
# Windows jni_md.h in runtime/include; the native build, where the JVM stage
# also runs against the installed VM, with the JDK's own Linux one.
file(GLOB KVO_JDK_JNI_HEADERS /usr/lib/jvm/java-17-openjdk*/include/jni.h /usr/lib/jvm/*/include/jni.h)
list(GET KVO_JDK_JNI_HEADERS 0 KVO_JDK_JNI_HEADER)
if(NOT KVO_JDK_JNI_HEADER)
    message(FATAL_ERROR "jni.h not found below /usr/lib/jvm: install openjdk-17-jdk-headless")
endif()
get_filename_component(KVO_JNI_INCLUDE ${KVO_JDK_JNI_HEADER} DIRECTORY)
if(CMAKE_CROSSCOMPILING AND WIN32)
    set(KVO_JNI_INCLUDE_DIRS ${KVO_JNI_INCLUDE} ${CMAKE_SOURCE_DIR}/runtime/include)
    # The launcher library is defined later in this directory.
    cmake_language(DEFER CALL target_include_directories launcher_core SYSTEM PUBLIC ${KVO_JNI_INCLUDE_DIRS})
else()
    set(KVO_JNI_INCLUDE_DIRS ${KVO_JNI_INCLUDE} ${KVO_JNI_INCLUDE}/linux)
    cmake_language(DEFER CALL target_include_directories kvo_stage SYSTEM PUBLIC ${KVO_JNI_INCLUDE_DIRS})
endif()
