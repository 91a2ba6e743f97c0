package com.korvo.runtime;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.lang.reflect.Field;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;

/** System.out and System.err into the launcher's output files. */
final class OutputFiles {
    private OutputFiles() {}

    /**
     * Redirects the streams whose file is given. A file that cannot be opened
     * leaves its stream where it was and says so there. Unbuffered and
     * flushed at every line, so an application that ends abruptly loses
     * nothing it printed.
     */
    static void redirect(String outFile, String errFile, boolean append) {
        String out = usable(outFile);
        String err = usable(errFile);
        PrintStream outStream = out == null ? null : open(out, append);
        PrintStream errStream;
        if (err == null)
            errStream = null;
        else if (out != null && sameFile(out, err))
            errStream = outStream;
        else
            errStream = open(err, append);
        if (outStream != null)
            install("out", outStream);
        if (errStream != null)
            install("err", errStream);
    }

    /**
     * System.setOut or System.setErr; a small class library without them
     * (the real VM of the tests) gets the field set instead.
     */
    static void install(String stream, PrintStream value) {
        String setter = "out".equals(stream) ? "setOut" : "setErr";
        try {
            Method set = System.class.getMethod(setter, PrintStream.class);
            set.invoke(null, value);
            return;
        } catch (NoSuchMethodException e) {
            // Below.
        } catch (IllegalAccessException e) {
            // Below.
        } catch (InvocationTargetException e) {
            System.err.println("kvo-runtime: System." + setter + " refused: " + e.getCause());
            return;
        }
        try {
            Field field = System.class.getDeclaredField(stream);
            field.setAccessible(true);
            field.set(null, value);
        } catch (Exception e) {
            System.err.println("kvo-runtime: System." + stream + " cannot be redirected here: " + e);
        }
    }

    /** The file a value names, or null: empty, or left to the application. */
    static String usable(String value) {
        if (value == null || value.length() == 0 || value.charAt(0) == '$')
            return null;
        return value;
    }

    static boolean sameFile(String a, String b) {
        String first = canonical(a).getPath();
        String second = canonical(b).getPath();
        // Compared as text: not every class library's File has equals.
        return File.separatorChar == '\\' ? first.equalsIgnoreCase(second) : first.equals(second);
    }

    private static File canonical(String path) {
        File file = new File(path).getAbsoluteFile();
        try {
            return file.getCanonicalFile();
        } catch (Exception e) {
            // Not every class library declares the IOException.
            return file;
        }
    }

    private static PrintStream open(String path, boolean append) {
        File file = new File(path);
        File parent = file.getAbsoluteFile().getParentFile();
        if (parent != null && !parent.isDirectory())
            parent.mkdirs();
        try {
            return new PrintStream(new FileOutputStream(file.getPath(), append), true);
        } catch (IOException e) {
            System.err.println("kvo-runtime: output file " + path + " cannot be written (" + e.getMessage()
                    + "); the stream stays where it was");
            return null;
        } catch (SecurityException e) {
            System.err.println("kvo-runtime: output file " + path + " is not allowed (" + e.getMessage() + ")");
            return null;
        }
    }
}
