package com.korvo.runtime;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;

/** What both launcher classes do with the launcher's array. */
final class Start {
    /** GUI flag, main class, two output files, flag, launcher name. */
    static final int LEADING_VALUES = 6;

    private Start() {}

    static void run(String[] values) throws Throwable {
        if (values == null || values.length < LEADING_VALUES)
            throw new IllegalArgumentException("the launcher class needs " + LEADING_VALUES
                    + " leading values (GUI flag, main class, two output files, flag, launcher name); got "
                    + (values == null ? 0 : values.length));
        System.setProperty("korvo.guiApplication", String.valueOf("true".equals(values[0])));
        System.setProperty("korvo.outputFile1", values[2]);
        System.setProperty("korvo.outputFile2", values[3]);
        OutputFiles.redirect(values[2], values[3], "true".equals(values[4]));
        // Started before the application, so that a second start is answered
        // while the application is still starting.
        HandOver.start();
        String[] arguments = new String[values.length - LEADING_VALUES];
        System.arraycopy(values, LEADING_VALUES, arguments, 0, arguments.length);
        callMain(values[1], arguments);
    }

    /** Calls {@code public static void main(String[])} of the named class as
     * {@code java} would; the exception of that main leaves unwrapped. */
    static void callMain(String className, String[] arguments) throws Throwable {
        Method main = mainMethod(className);
        try {
            main.invoke(null, new Object[] {arguments});
        } catch (InvocationTargetException e) {
            throw e.getCause() != null ? e.getCause() : e;
        }
    }

    static Method mainMethod(String className) throws ClassNotFoundException, NoSuchMethodException {
        String name = className == null ? "" : className.trim().replace('/', '.');
        if (name.length() == 0)
            throw new ClassNotFoundException("no main class is configured (record MainClass is empty)");
        Class<?> type = Class.forName(name, true, ClassLoader.getSystemClassLoader());
        Method main;
        try {
            main = type.getMethod("main", String[].class);
        } catch (NoSuchMethodException e) {
            throw new NoSuchMethodException(name + " has no method public static void main(String[])");
        }
        if (!Modifier.isStatic(main.getModifiers()) || main.getReturnType() != void.class)
            throw new NoSuchMethodException(name + ".main(String[]) is not public static void");
        // A main class that is not public itself is fine for java; so here.
        try {
            main.setAccessible(true);
        } catch (RuntimeException e) {
            // Left as it is: invoke then says what it refuses.
        }
        return main;
    }
}
