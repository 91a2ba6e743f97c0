package com.vandrel.runtime.launcher;

import com.korvo.runtime.Start;
import java.io.File;
import java.lang.reflect.Method;

/**
 * The first-run hook of the installer flavour. An installer that leaves the
 * marker file {@code .vandrel\firstrun} in the installation directory makes
 * the launcher call {@link #firstRun()} before the application's main.
 *
 * <p>The application names its first-run work in the system property
 * {@code korvo.firstRunClass} (for instance
 * {@code VmOptions = -Dkorvo.firstRunClass=com.acme.Setup}): a class with
 * {@code public static boolean firstRun()}. Its answer is the answer:
 * true goes on to main, false ends the start quietly (exit code 0). Without
 * the property the answer is true. After true the marker is deleted, so the
 * work runs once; after false it stays and the next start asks again. An
 * exception ends the start as false does; the launcher logs it.
 */
public final class FirstRun {
    static final String WORK_PROPERTY = "korvo.firstRunClass";

    private FirstRun() {}

    /**
     * Runs the first-run work; called by the launcher before main.
     *
     * @return true to go on to main, false to end the start
     * @throws Throwable what the work threw
     */
    public static boolean firstRun() throws Throwable {
        String name = System.getProperty(WORK_PROPERTY);
        boolean goOn = name == null || name.trim().length() == 0 || callWork(name.trim());
        if (goOn) {
            File marker = marker(System.getProperty("java.class.path"));
            if (marker != null && marker.isFile() && !marker.delete())
                System.err.println("kvo-runtime: the first-run marker " + marker
                        + " cannot be deleted; the first-run work will run again at the next start");
        }
        return goOn;
    }

    static boolean callWork(String className) throws Throwable {
        Method work = Start.staticMethod(Start.applicationClass(className), "firstRun", null, boolean.class);
        return ((Boolean) Start.callStatic(work, new Object[0])).booleanValue();
    }

    /**
     * The marker the launcher looked for: beside the runtime archive that it
     * puts on the class path of this flavour,
     * {@code <installation directory>\.vandrel\vdlruntime.jar}.
     */
    static File marker(String classPath) {
        if (classPath == null)
            return null;
        String suffix = "vdlruntime.jar";
        int start = 0;
        for (int i = 0; i <= classPath.length(); i++) {
            if (i < classPath.length() && classPath.charAt(i) != File.pathSeparatorChar)
                continue;
            String entry = classPath.substring(start, i);
            start = i + 1;
            if (entry.replace('\\', '/').endsWith("/.vandrel/" + suffix))
                return new File(entry.substring(0, entry.length() - suffix.length()) + "firstrun");
        }
        return null;
    }
}
