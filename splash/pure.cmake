# Files of this folder that include no Windows header (built natively too).
list(APPEND KVO_PURE_SOURCES
    splash/SplashLayout.cpp
)

# This folder's part of the JVM stage (see jvm/pure.cmake).
list(APPEND KVO_STAGE_SOURCES
    splash/ControllerPoll.cpp
)
