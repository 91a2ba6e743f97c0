# Files of this folder that include no Windows header (built natively too).
list(APPEND KVO_PURE_SOURCES
    jvm/LauncherArgs.cpp
    jvm/LocaleTable.cpp
    jvm/MainThreadClass.cpp
    jvm/OptionText.cpp
    jvm/VariableText.cpp
)
