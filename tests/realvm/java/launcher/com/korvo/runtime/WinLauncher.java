package com.korvo.runtime;

import java.lang.reflect.Method;

/** The application's launcher class as a vendor ships it: notes the array
 * the launcher handed over, then starts the configured main class with the
 * arguments that follow the five leading values and the launcher's name. */
public class WinLauncher {
    public static void main(String[] args) throws Throwable {
        Report.line("vm", System.getProperty("java.vm.name") + "\t" + System.getProperty("java.version") + "\t"
                    + System.getProperty("sun.management.compiler"));
        Report.line("launcher-args", String.valueOf(args.length));
        for (int i = 0; i < args.length; i++)
            Report.line("launcher-arg", i + "\t" + args[i]);
        String[] rest = new String[Math.max(0, args.length - 6)];
        System.arraycopy(args, 6, rest, 0, rest.length);
        Class<?> main = Class.forName(args[1]);
        Method entry = main.getMethod("main", String[].class);
        try {
            entry.invoke(null, (Object) rest);
        } catch (java.lang.reflect.InvocationTargetException e) {
            throw e.getCause();
        }
        Report.line("launcher", "main returned");
    }
}
