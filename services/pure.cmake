# Files of this folder that include no Windows header (built natively too).
list(APPEND KVO_PURE_SOURCES
    services/CacheFolder.cpp
    services/IncludedFileName.cpp
    services/InstanceText.cpp
    services/MainCheckText.cpp
    services/RuntimeClasses.cpp
)
