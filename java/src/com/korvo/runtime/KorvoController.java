package com.korvo.runtime;

/**
 * What the launcher's splash thread asks every 100 ms while its splash
 * window is up. Applications use {@link Splash}.
 */
public final class KorvoController {
    static final int NOTHING = 0;
    static final int HIDE = 1;
    static final int NEW_TEXT = 2;

    private static final Object lock = new Object();
    private static String text;
    private static boolean textPending;
    private static boolean hidePending;

    private KorvoController() {}

    /** 1: hide the splash; 2: a new status text waits for getText; else 0. */
    public static int getAction() {
        synchronized (lock) {
            // Once hidden, a text no longer matters.
            if (hidePending)
                return HIDE;
            return textPending ? NEW_TEXT : NOTHING;
        }
    }

    /** The status text that getAction announced; null when there is none. */
    public static String getText() {
        synchronized (lock) {
            textPending = false;
            return text;
        }
    }

    static void setText(String newText) {
        synchronized (lock) {
            text = newText;
            textPending = true;
        }
    }

    static void hide() {
        synchronized (lock) {
            hidePending = true;
        }
    }
}
