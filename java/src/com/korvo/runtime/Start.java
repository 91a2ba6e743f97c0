package com.korvo.runtime;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;

/** What both launcher classes do with the launcher's array, and the first
 * run's work; public for the launcher class of the other flavour only, no
 * interface for applications. */
public final class Start {
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
        // while the application is still starting. Its class only where there
        // is a file to watch: every class loaded delays main on a VM that
        // interprets.
        String commFile = System.getProperty("korvo.processCommFile");
        if (commFile != null && commFile.length() > 0)
            HandOver.start();
        String[] arguments = new String[values.length - LEADING_VALUES];
        System.arraycopy(values, LEADING_VALUES, arguments, 0, arguments.length);
        ApplicationMain main = applicationMain(values[1]);
        main.call(arguments);
    }

    /** What starts the named class (initialised), as {@code java} would
     * start it. Its methods' types are loaded on the way, so a missing
     * toolkit may show here as well as in loading the class. */
    static ApplicationMain applicationMain(String className) throws Throwable {
        String name = className == null ? "" : className.trim().replace('/', '.');
        if (name.length() == 0)
            throw new ClassNotFoundException("no main class is configured (record MainClass is empty)");
        try {
            return ApplicationMain.of(applicationClass(name));
        } catch (LinkageError e) {
            throw ApplicationMain.loadFailure(name, e);
        }
    }

    /**
     * A class of the application, initialised, through the system class
     * loader as java loads a main class. The launcher defines this runtime
     * in the loader of the class path, which is the system class loader
     * wherever that sees the class path: asked first, so that a VM whose
     * system class loader sees only its own library (the small one of the
     * tests) answers without throwing and catching on the way.
     */
    public static Class<?> applicationClass(String name) throws ClassNotFoundException {
        ClassLoader system = ClassLoader.getSystemClassLoader();
        ClassLoader own = Start.class.getClassLoader();
        if (own == null || own == system)
            return Class.forName(name, true, system);
        ClassNotFoundException missing;
        try {
            return Class.forName(name, true, own);
        } catch (ClassNotFoundException e) {
            missing = e;
        }
        try {
            return Class.forName(name, true, system);
        } catch (ClassNotFoundException e) {
            // The class path's answer says more.
        }
        // A VM that names a missing superclass here (instead of the class
        // asked for) gets the error java gives for it.
        String message = missing.getMessage() == null ? "" : missing.getMessage().replace('/', '.');
        if (message.length() > 0 && !message.equals(name))
            throw new NoClassDefFoundError(message.replace('.', '/'));
        // In the form the configuration names it, whatever form the VM uses.
        throw new ClassNotFoundException(name);
    }

    /** {@code public static <returns> method(<parameter>)} of the class, or
     * an exception that says what is missing. */
    public static Method staticMethod(Class<?> type, String method, Class<?> parameter, Class<?> returns)
            throws NoSuchMethodException {
        Method found;
        try {
            found = parameter == null ? type.getMethod(method) : type.getMethod(method, parameter);
        } catch (NoSuchMethodException e) {
            throw new NoSuchMethodException(type.getName() + " has no method " + signature(method, parameter, returns));
        }
        if (!Modifier.isStatic(found.getModifiers()) || found.getReturnType() != returns)
            throw new NoSuchMethodException(type.getName() + "." + method + "(" + (parameter == null ? ""
                    : parameter.getSimpleName()) + ") is not public static " + returns.getName());
        // A class that is not public itself is fine for java; so here.
        try {
            found.setAccessible(true);
        } catch (RuntimeException e) {
            // Left as it is: invoke then says what it refuses.
        }
        return found;
    }

    // Only for a message: text costs an interpreting VM on every start.
    private static String signature(String method, Class<?> parameter, Class<?> returns) {
        return "public static " + returns.getName() + " " + method + "("
                + (parameter == null ? "" : parameter.getSimpleName()) + ")";
    }

    /** Calls a static method; its own exception leaves unwrapped. */
    public static Object callStatic(Method method, Object[] arguments) throws Throwable {
        try {
            return method.invoke(null, arguments);
        } catch (InvocationTargetException e) {
            throw e.getCause() != null ? e.getCause() : e;
        }
    }
}
