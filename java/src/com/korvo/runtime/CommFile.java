package com.korvo.runtime;

import java.util.ArrayList;
import java.util.List;

/**
 * The communication file of a second start: its arguments as one line of
 * UTF-16LE text, without byte-order mark, ended by a line feed; and the
 * launcher's rules for splitting such a text into arguments.
 */
final class CommFile {
    private CommFile() {}

    /** The text of the file's bytes; a byte left over at the end is dropped. */
    static String decode(byte[] bytes, int length) {
        StringBuilder text = new StringBuilder(length / 2);
        for (int i = 0; i + 1 < length; i += 2)
            text.append((char) ((bytes[i] & 0xFF) | ((bytes[i + 1] & 0xFF) << 8)));
        return text.toString();
    }

    /** Whether the writer has finished: the launcher's line feed ends it. */
    static boolean complete(byte[] bytes, int length) {
        return length >= 2 && length % 2 == 0 && bytes[length - 2] == '\n' && bytes[length - 1] == 0;
    }

    /** The arguments a file's text holds. */
    static String[] arguments(String text) {
        if (text.length() > 0 && text.charAt(0) == '\uFEFF')
            text = text.substring(1);
        if (text.endsWith("\n"))
            text = text.substring(0, text.length() - 1);
        if (text.endsWith("\r"))
            text = text.substring(0, text.length() - 1);
        List<String> out = new ArrayList<String>();
        split(text, out);
        return out.toArray(new String[out.size()]);
    }

    /**
     * The launcher's own rules: only the blank separates; a double or a
     * single quote groups up to the next quote of the same kind (the other
     * kind is an ordinary character there) and is dropped; text before a
     * quote joins the quoted part, text after it starts a new argument; an
     * unclosed quote takes the rest; there is no escape character.
     */
    static void split(String text, List<String> out) {
        int p = 0;
        int n = text.length();
        while (p < n) {
            int dq = text.indexOf('"', p);
            int sq = text.indexOf('\'', p);
            int blank = text.indexOf(' ', p);
            if (blank == p) {
                p++;
                continue;
            }
            if (blank >= 0 && (dq < 0 || blank < dq) && (sq < 0 || blank < sq)) {
                out.add(text.substring(p, blank));
                p = blank + 1;
                continue;
            }
            int q;
            if (dq >= 0 && !(sq >= 0 && sq < dq))
                q = dq;
            else
                q = sq;
            if (q < 0) {
                out.add(text.substring(p));
                return;
            }
            int close = text.indexOf(text.charAt(q), q + 1);
            int end = close < 0 ? n : close;
            out.add(text.substring(p, q) + text.substring(q + 1, end));
            p = close < 0 ? n : close + 1;
            if (p < n && text.charAt(p) == ' ')
                p++;
        }
    }
}
