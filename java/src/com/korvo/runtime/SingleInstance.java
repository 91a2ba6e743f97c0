package com.korvo.runtime;

/**
 * Single-instance mode seen from the application. When the launcher runs
 * with single-instance mode on, a second start of it hands its arguments to
 * the running instance and ends; the listeners added here receive them.
 *
 * <pre>
 * SingleInstance.addListener(new StartupListener() {
 *     public void startup(String[] arguments) {
 *         openFiles(arguments);
 *     }
 * });
 * </pre>
 *
 * Arguments that arrive before the first listener is added are kept (the
 * last {@value #KEPT_STARTS} starts) and handed to it. The listeners are
 * called in the order they were added, on one daemon thread. Without
 * single-instance mode nothing ever arrives.
 */
public final class SingleInstance {
    /** How many starts are kept for a listener that is not there yet. */
    public static final int KEPT_STARTS = HandOver.KEPT;

    private SingleInstance() {}

    /**
     * Adds a listener for the arguments of later starts. The first listener
     * added also receives the starts kept so far, oldest first. Adding one
     * listener twice makes it hear every start twice.
     *
     * @param listener called for every later start, on the runtime's daemon thread
     * @throws NullPointerException if {@code listener} is null
     */
    public static void addListener(StartupListener listener) {
        if (listener == null)
            throw new NullPointerException("listener");
        if (on())
            HandOver.addListener(listener);
    }

    /**
     * Removes a listener added before (the one added first, if it was added
     * more than once); a listener not added is ignored. Starts that arrive
     * while no listener is left are kept for the next one.
     *
     * @param listener the listener to remove
     */
    public static void removeListener(StartupListener listener) {
        if (on())
            HandOver.removeListener(listener);
    }

    /**
     * Single-instance mode: the launcher names the file a second start
     * writes. Only then does it define the classes that take that file, so
     * that a start without it defines fewer; without it nothing arrives, and
     * a listener has nothing to hear.
     */
    private static boolean on() {
        String file = System.getProperty("korvo.processCommFile");
        return file != null && file.length() > 0;
    }
}
