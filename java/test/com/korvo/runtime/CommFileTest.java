package com.korvo.runtime;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import java.util.ArrayList;
import java.util.List;
import org.junit.Test;

/** The communication file's text, split by the rules of the native splitter
 * (the same cases as its own test, so the two cannot drift apart unseen). */
public class CommFileTest {
    private static String[] split(String text) {
        List<String> out = new ArrayList<String>();
        CommFile.split(text, out);
        return out.toArray(new String[0]);
    }

    private static String[] a(String... values) {
        return values;
    }

    @Test
    public void splitsAsTheLauncherSplitsItsCommandLine() {
        Object[][] cases = {
            {"launcher.exe a  b", a("launcher.exe", "a", "b")},
            {"   ", a()},
            {"", a()},
            {" x ", a("x")},
            {"a\tb", a("a\tb")},
            {"\"a b\"", a("a b")},
            {"'a b' c", a("a b", "c")},
            {"ab\"cd ef\"gh", a("abcd ef", "gh")},
            {"\"\"", a("")},
            {"a \"\" b", a("a", "", "b")},
            {"\"it's\" x", a("it's", "x")},
            {"'say \"hi\"' x", a("say \"hi\"", "x")},
            {"it's a test", a("its a test")},
            {"x \"open to end", a("x", "open to end")},
            {"\"C:\\dir\\\" next", a("C:\\dir\\", "next")},
            {"a\\\"b c\"", a("a\\b c")},
        };
        for (Object[] c : cases)
            assertArrayEquals((String) c[0], (String[]) c[1], split((String) c[0]));
    }

    @Test
    public void fileTextIsOneLineOfUtf16() {
        byte[] bytes = utf16("open \"two words.txt\" \u00e9t\u00e9 \ud83d\ude00\n");
        assertTrue(CommFile.complete(bytes, bytes.length));
        assertArrayEquals(a("open", "two words.txt", "\u00e9t\u00e9", "\ud83d\ude00"),
                CommFile.arguments(CommFile.decode(bytes, bytes.length)));
        // A start without arguments writes the line feed alone.
        assertArrayEquals(a(), CommFile.arguments(CommFile.decode(utf16("\n"), 2)));
        // Written by hand: a byte-order mark and a CR are no part of an argument.
        assertArrayEquals(a("x", "y"), CommFile.arguments("\uFEFFx y\r\n"));
        // Not finished yet: no line feed, half a unit, or nothing.
        assertFalse(CommFile.complete(bytes, bytes.length - 2));
        assertFalse(CommFile.complete(bytes, bytes.length - 1));
        assertFalse(CommFile.complete(bytes, 0));
        // A stray last byte is dropped, not read past.
        assertEquals("ab", CommFile.decode(new byte[] {'a', 0, 'b', 0, 'c'}, 5));
    }

    static byte[] utf16(String text) {
        byte[] out = new byte[text.length() * 2];
        for (int i = 0; i < text.length(); i++) {
            out[2 * i] = (byte) text.charAt(i);
            out[2 * i + 1] = (byte) (text.charAt(i) >> 8);
        }
        return out;
    }
}
