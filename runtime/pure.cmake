# Files of this folder that include no Windows header (built natively too).
list(APPEND KVO_PURE_SOURCES
    runtime/JvmState.cpp
    runtime/PathEntries.cpp
    runtime/ProbeEnvironment.cpp
    runtime/ReleaseFile.cpp
    runtime/RuntimeText.cpp
    runtime/SearchReport.cpp
    runtime/VersionRules.cpp
)

include(${CMAKE_CURRENT_LIST_DIR}/jni.cmake)

# This folder's part of the JVM stage (see jvm/pure.cmake).
list(APPEND KVO_STAGE_SOURCES
    runtime/JniEntry.cpp
)
