# Files of this folder that include no Windows header (built natively too).
list(APPEND KVO_PURE_SOURCES
    jvm/LauncherArgs.cpp
    jvm/LocaleTable.cpp
    jvm/MainThreadClass.cpp
    jvm/OptionText.cpp
    jvm/VariableText.cpp
    jvm/VmText.cpp
)

# Files of the JVM stage: no Windows header either, but they call on the
# platform under the stage (jvm/LaunchInputs.h, the log, the messages), so
# they are built natively only into the HotSpot host, which supplies it.
list(APPEND KVO_STAGE_SOURCES
    jvm/ApplicationThreads.cpp
    jvm/JavaHalf.cpp
    jvm/JavaVMLauncher.cpp
    jvm/LauncherValues.cpp
    jvm/MainCall.cpp
    jvm/MainException.cpp
    jvm/MainThread.cpp
    jvm/VmOptions.cpp
    jvm/VmOutput.cpp
)
