# Files of this folder that include no Windows header (built natively too).
list(APPEND KVO_PURE_SOURCES
    core/BoundedCopy.cpp
    core/CommandLine.cpp
    core/ConfigBlock.cpp
    core/ConfigStore.cpp
    core/MessageText.cpp
    core/PathText.cpp
    core/StartupState.cpp
    core/StepTimes.cpp
    core/WebAddress.cpp
)

# This folder's part of the JVM stage (see jvm/pure.cmake).
list(APPEND KVO_STAGE_SOURCES
    core/ErrorMessages.cpp
)
