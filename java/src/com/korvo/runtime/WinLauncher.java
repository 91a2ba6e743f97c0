package com.korvo.runtime;

/**
 * The class the launcher calls once the JVM runs (the launcher of flavour i
 * calls {@code com.vandrel.runtime.launcher.WinLauncher}, which does the
 * same). Its array holds, in this order: the GUI flag, the application's main
 * class, the two output files, the launcher-class flag, the launcher's name
 * as it was started, and then the application's arguments.
 *
 * <ul>
 * <li>The GUI flag ("true" for a GUI application) becomes the system property
 * {@code korvo.guiApplication}: an application that can run both ways learns
 * whether it has a console to write to.</li>
 * <li>A non-empty output file receives {@code System.out} (the first) or
 * {@code System.err} (the second); both streams share one file when both
 * name it. A name beginning with "$" is left to the application. Both values
 * stand in {@code korvo.outputFile1} and {@code korvo.outputFile2}.</li>
 * <li>The launcher-class flag keeps the output files: "true" appends to
 * them, "false" replaces them at every start.</li>
 * </ul>
 *
 * The main class is loaded through the system class loader and started
 * with the application's arguments as {@code java} of Java 25 starts it: its
 * {@code main(String[])} or {@code main()}, static or on a new instance, or
 * the JavaFX toolkit's launch for an {@code Application} without a main.
 * Whatever goes wrong on the way (a class that is missing, a class without
 * a main that may start) leaves this method as the exception, which the
 * launcher names in its message.
 */
public final class WinLauncher {
    private WinLauncher() {}

    /**
     * Starts the application as described above; called by the launcher,
     * not by applications.
     *
     * @param args the launcher's values, then the application's arguments
     * @throws Throwable what the application's main threw, or why it could
     *     not be called
     */
    public static void main(String[] args) throws Throwable {
        Start.run(args);
    }
}
