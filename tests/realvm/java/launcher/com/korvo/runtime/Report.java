package com.korvo.runtime;

import java.io.FileOutputStream;
import java.io.IOException;

/** One "key TAB value" line per call, appended to the file that the system
 * property kvotest.report names, in UTF-8 encoded here (the class library
 * of the test VM has no charset writers). */
public final class Report {
    private Report() {}

    public static synchronized void line(String key, String value) {
        String path = System.getProperty("kvotest.report");
        if (path == null)
            return;
        try {
            FileOutputStream out = new FileOutputStream(path, true);
            try {
                out.write(utf8(key + "\t" + escape(value) + "\n"));
            } finally {
                out.close();
            }
        } catch (IOException e) {
            throw new RuntimeException("report not written: " + e);
        }
    }

    static String escape(String value) {
        if (value == null)
            return "<null>";
        StringBuilder b = new StringBuilder();
        for (int i = 0; i < value.length(); i++) {
            char c = value.charAt(i);
            if (c == '\\') b.append("\\\\");
            else if (c == '\n') b.append("\\n");
            else if (c == '\r') b.append("\\r");
            else if (c == '\t') b.append("\\t");
            else b.append(c);
        }
        return b.toString();
    }

    static byte[] utf8(String s) {
        java.io.ByteArrayOutputStream out = new java.io.ByteArrayOutputStream();
        for (int i = 0; i < s.length(); i++) {
            int c = s.charAt(i);
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.length()) {
                int low = s.charAt(i + 1);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    i++;
                }
            }
            if (c < 0x80) {
                out.write(c);
            } else if (c < 0x800) {
                out.write(0xC0 | (c >> 6));
                out.write(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out.write(0xE0 | (c >> 12));
                out.write(0x80 | ((c >> 6) & 0x3F));
                out.write(0x80 | (c & 0x3F));
            } else {
                out.write(0xF0 | (c >> 18));
                out.write(0x80 | ((c >> 12) & 0x3F));
                out.write(0x80 | ((c >> 6) & 0x3F));
                out.write(0x80 | (c & 0x3F));
            }
        }
        return out.toByteArray();
    }
}
