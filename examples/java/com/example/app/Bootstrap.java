package com.example.app;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;

/**
 * The example application: writes what it was started with to
 * example-output.txt beside the launcher, and a line to System.out.
 */
public class Bootstrap {
    private static final String[] PROPERTIES = {
        "java.version", "java.vendor", "java.class.path", "korvo.moduleName", "korvo.tempDir",
        "korvo.semaphoreName", "korvo.processCommFile", "korvo.isVandrel", "korvo.guiApplication",
        "korvo.outputFile1",
    };

    public static void main(String[] args) throws IOException {
        // The launcher's runtime sent System.out to the configured output file.
        System.out.println("Hello from Java on System.out, with " + args.length + " arguments.");
        StringBuilder text = new StringBuilder();
        text.append("Hello from Java: the example application's main ran.\n");
        text.append("arguments (").append(args.length).append("):\n");
        for (int i = 0; i < args.length; i++)
            text.append("  [").append(i).append("] ").append(args[i]).append('\n');
        text.append("system properties:\n");
        for (String name : PROPERTIES)
            text.append("  ").append(name).append(" = ").append(System.getProperty(name)).append('\n');
        File launcher = new File(System.getProperty("korvo.moduleName"));
        File output = new File(launcher.getParentFile(), "example-output.txt");
        FileOutputStream out = new FileOutputStream(output);
        try {
            out.write(utf8(text.toString()));
        } finally {
            out.close();
        }
    }

    // The small class libraries some runtimes ship have no charset writers.
    private static byte[] utf8(String s) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        for (int i = 0; i < s.length(); i++) {
            int c = s.codePointAt(i);
            if (c >= 0x10000)
                i++;
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
