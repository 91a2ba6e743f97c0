# Files of this folder that include no Windows header (built natively too).
list(APPEND KVO_PURE_SOURCES
    splash/SplashLayout.cpp
)
