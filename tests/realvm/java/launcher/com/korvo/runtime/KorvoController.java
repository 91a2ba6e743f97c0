package com.korvo.runtime;

/** The splash controller the launcher polls: the application sets a text
 * or asks for the hide; each request is answered once. */
public class KorvoController {
    private static int action;
    private static String text;

    public static synchronized void setText(String newText) {
        text = newText;
        action = 2;
    }

    public static synchronized void hide() {
        action = 1;
    }

    public static synchronized int getAction() {
        int now = action;
        action = 0;
        return now;
    }

    public static synchronized String getText() {
        Report.line("controller", "text taken: " + text);
        return text;
    }
}
