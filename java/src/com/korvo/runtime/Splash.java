package com.korvo.runtime;

/**
 * The launcher's splash screen, steered from the application: the status
 * line and the hide. The launcher looks for requests every 100 ms while its
 * splash window is up; without a splash screen these calls do nothing.
 */
public final class Splash {
    private Splash() {}

    /**
     * Shows {@code text} in the splash screen's status line. The launcher
     * takes the latest text at its next look, so texts set in quick
     * succession may never be seen.
     *
     * @param text the new status line; null is ignored
     */
    public static void setText(String text) {
        if (text != null)
            KorvoController.setText(text);
    }

    /**
     * Hides the splash screen for good; the launcher's splash thread then
     * ends, and later calls of this class do nothing.
     */
    public static void hide() {
        KorvoController.hide();
    }
}
