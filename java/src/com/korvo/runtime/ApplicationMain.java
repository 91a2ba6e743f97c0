package com.korvo.runtime;

import java.lang.reflect.Constructor;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;

/**
 * The method that starts the application's main class, chosen as
 * {@code java} of Java 25 chooses it, so that a class behaves the same when
 * the launcher starts it, on any runtime:
 *
 * <ol>
 * <li>{@code main(String[])}, else {@code main()}: static or not, declared
 * or inherited, of any access but private, returning void;</li>
 * <li>an instance main runs on an instance made with the class's
 * non-private constructor without parameters;</li>
 * <li>a class with no such method that extends
 * {@code javafx.application.Application} goes to the toolkit's
 * {@code Application.launch(Class, String...)}, found through that class,
 * so this jar needs no toolkit to build or load.</li>
 * </ol>
 */
final class ApplicationMain {
    static final String TOOLKIT_APPLICATION = "javafx.application.Application";
    static final String FORMS = "write static void main(String[] args), static void main(), void main(String[] args)"
            + " or void main(), with any access but private, or extend " + TOOLKIT_APPLICATION;
    private static final Class<?>[] WITH_ARGUMENTS = {String[].class};
    private static final Class<?>[] WITHOUT_ARGUMENTS = {};

    private final Method method;
    /** Makes the instance of an instance main; null for a static one. */
    private final Constructor<?> constructor;
    /** The class handed to the toolkit's launch; null otherwise. */
    private final Class<?> launched;

    private ApplicationMain(Method method, Constructor<?> constructor, Class<?> launched) {
        this.method = method;
        this.constructor = constructor;
        this.launched = launched;
    }

    /** What starts {@code type}, or an exception that names the class and
     * says what to write instead. */
    static ApplicationMain of(Class<?> type) throws NoSuchMethodException, InstantiationException {
        Method main = publicStaticMain(type);
        if (main == null) {
            Method withArguments = find(type, WITH_ARGUMENTS);
            Method without = eligible(withArguments) ? null : find(type, WITHOUT_ARGUMENTS);
            main = eligible(withArguments) ? withArguments : eligible(without) ? without : null;
            if (main == null) {
                Class<?> toolkit = toolkitApplication(type);
                if (toolkit == null)
                    throw new NoSuchMethodException(type.getName() + " has no main method to start"
                            + unusable(withArguments, without) + ": " + FORMS);
                return new ApplicationMain(launch(toolkit), null, type);
            }
        }
        accessible(main);
        if (Modifier.isStatic(main.getModifiers()))
            return new ApplicationMain(main, null, null);
        return new ApplicationMain(main, instanceMaker(type, main), null);
    }

    /** Calls it on the current thread; what the application throws, in a
     * constructor or in main, leaves unwrapped. */
    void call(String[] arguments) throws Throwable {
        try {
            if (launched != null) {
                method.invoke(null, new Object[] {launched, arguments});
                return;
            }
            Object instance = constructor == null ? null : constructor.newInstance();
            method.invoke(instance, method.getParameterTypes().length == 0 ? new Object[0] : new Object[] {arguments});
        } catch (InvocationTargetException e) {
            throw e.getCause() != null ? e.getCause() : e;
        }
    }

    /**
     * The common case first, found as java finds it: getMethod looks at the
     * types of the public methods only, so a class that starts today does
     * not fail on a private method whose types are missing. Some VMs'
     * getMethod also returns what is not public: that is left to the search.
     */
    private static Method publicStaticMain(Class<?> type) {
        Method found;
        try {
            found = type.getMethod("main", WITH_ARGUMENTS);
        } catch (NoSuchMethodException e) {
            return null;
        }
        int modifiers = found.getModifiers();
        return Modifier.isPublic(modifiers) && Modifier.isStatic(modifiers) && found.getReturnType() == void.class
                ? found : null;
    }

    /**
     * The main with these parameters that the class has, of any access: its
     * own, else the nearest superclass's, else a default method of an
     * interface. A private one found here hides those further up, as it
     * does for java.
     */
    static Method find(Class<?> type, Class<?>[] parameters) {
        for (Class<?> c = type; c != null; c = c.getSuperclass()) {
            Method found = declared(c, parameters, true);
            if (found != null)
                return found;
        }
        for (Class<?> c = type; c != null; c = c.getSuperclass()) {
            Method found = inInterfaces(c.getInterfaces(), parameters);
            if (found != null)
                return found;
        }
        return null;
    }

    /** Static methods of an interface are not inherited. */
    private static Method inInterfaces(Class<?>[] interfaces, Class<?>[] parameters) {
        for (int i = 0; i < interfaces.length; i++) {
            Method found = declared(interfaces[i], parameters, false);
            if (found == null)
                found = inInterfaces(interfaces[i].getInterfaces(), parameters);
            if (found != null)
                return found;
        }
        return null;
    }

    private static Method declared(Class<?> type, Class<?>[] parameters, boolean staticToo) {
        Method[] methods = type.getDeclaredMethods();
        for (int i = 0; i < methods.length; i++) {
            Method m = methods[i];
            if (!m.getName().equals("main") || m.isSynthetic()
                    || (!staticToo && Modifier.isStatic(m.getModifiers())))
                continue;
            // By the element type: a VM may make more than one class for
            // String[] (one per loader).
            Class<?>[] types = m.getParameterTypes();
            if (types.length == parameters.length && (types.length == 0
                    || (types[0].isArray() && types[0].getComponentType() == parameters[0].getComponentType())))
                return m;
        }
        return null;
    }

    private static boolean eligible(Method main) {
        return main != null && !Modifier.isPrivate(main.getModifiers()) && main.getReturnType() == void.class;
    }

    /** Why the mains the class has do not count, for the message. */
    private static String unusable(Method withArguments, Method without) {
        String why = "";
        Method[] found = {withArguments, without};
        for (int i = 0; i < found.length; i++) {
            if (found[i] == null)
                continue;
            String name = describe(found[i]) + (Modifier.isPrivate(found[i].getModifiers()) ? " is private"
                    : " returns " + found[i].getReturnType().getName());
            why += why.length() == 0 ? " (" + name : ", " + name;
        }
        return why.length() == 0 ? "" : why + ")";
    }

    private static String describe(Method main) {
        String where = main.getDeclaringClass().getName();
        return where + ".main(" + (main.getParameterTypes().length == 0 ? "" : "String[]") + ")";
    }

    /** The constructor java would make the instance with, checked before
     * anything of the application runs. */
    private static Constructor<?> instanceMaker(Class<?> type, Method main)
            throws NoSuchMethodException, InstantiationException {
        if (Modifier.isAbstract(type.getModifiers()))
            throw new InstantiationException(type.getName() + " is abstract, so its instance method "
                    + describe(main) + " has no instance to run on: make main static, or start a subclass");
        try {
            Constructor<?> made = type.getDeclaredConstructor();
            if (!Modifier.isPrivate(made.getModifiers())) {
                accessible(made);
                return made;
            }
        } catch (NoSuchMethodException e) {
            // Said below, the same as a private one.
        }
        throw new NoSuchMethodException(type.getName() + " has no non-private constructor without parameters"
                + " to make the instance for " + describe(main) + ": add one, or make main static");
    }

    private static Class<?> toolkitApplication(Class<?> type) {
        for (Class<?> c = type.getSuperclass(); c != null; c = c.getSuperclass())
            if (c.getName().equals(TOOLKIT_APPLICATION))
                return c;
        return null;
    }

    private static Method launch(Class<?> toolkit) throws NoSuchMethodException {
        try {
            Method launch = toolkit.getMethod("launch", Class.class, String[].class);
            if (Modifier.isStatic(launch.getModifiers()) && Modifier.isPublic(launch.getModifiers()))
                return launch;
        } catch (NoSuchMethodException e) {
            // Said below.
        }
        throw new NoSuchMethodException("the JavaFX toolkit's " + TOOLKIT_APPLICATION
                + " has no public static launch(Class, String...)");
    }

    /**
     * The error of a main class that cannot be loaded because the toolkit is
     * missing, said as such (without the VM's error as its cause, which
     * would only repeat the name in the user's message); any other error as
     * it is.
     */
    static LinkageError loadFailure(String className, LinkageError e) {
        String missing = e.getMessage() == null ? "" : e.getMessage().replace('/', '.');
        if (!(e instanceof NoClassDefFoundError) || !missing.startsWith("javafx."))
            return e;
        return new NoClassDefFoundError(className + " needs the JavaFX toolkit, which is on neither"
                + " the class path nor the module path (" + missing + " is missing): add its jars to ClassPath,"
                + " or --module-path with its folder and --add-modules javafx.controls to VmOptions");
    }

    /** A class or method that is not public is fine for java; so here. */
    private static void accessible(java.lang.reflect.AccessibleObject member) {
        try {
            member.setAccessible(true);
        } catch (RuntimeException e) {
            // Left as it is: the call then says what it refuses.
        }
    }
}
