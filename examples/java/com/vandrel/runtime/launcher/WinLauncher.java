package com.vandrel.runtime.launcher;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;

/**
 * The launcher class the installer flavour calls. Its array starts with five
 * values of the launcher's configuration and the launcher's own name; the
 * application's arguments follow. It starts the configured main class.
 */
public class WinLauncher {
    public static void main(String[] args) throws Throwable {
        String mainClass = args[1];
        String[] appArgs = new String[Math.max(0, args.length - 6)];
        System.arraycopy(args, 6, appArgs, 0, appArgs.length);
        System.setProperty("example.guiApplication", args[0]);
        System.setProperty("example.outputFile", args[2]);
        Method main = Class.forName(mainClass).getMethod("main", String[].class);
        try {
            main.invoke(null, (Object) appArgs);
        } catch (InvocationTargetException e) {
            throw e.getCause();
        }
    }
}
