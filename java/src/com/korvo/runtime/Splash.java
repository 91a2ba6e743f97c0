package com.korvo.runtime;

/**
 * The launcher's splash screen, steered from the application: the status
 * line and the hide. The launcher looks for requests every 100 ms while its
 * splash window is up; without a splash screen these calls do nothing.
 */
public final class Splash {
    private Splash() {}

    /** Shows {@code text} in the status line (the latest text wins; null is ignored). */
    public static void setText(String text) {
        if (text != null)
            KorvoController.setText(text);
    }

    /** Hides the splash screen for good; the launcher's splash thread then ends. */
    public static void hide() {
        KorvoController.hide();
    }
}
