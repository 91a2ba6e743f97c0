package kvotest;

import com.korvo.runtime.Report;

/** Installs an uncaught-exception handler (the default one, or with
 * kvotest.handlerOn=thread main's own), starts an ordinary thread that works
 * args[0] ms (as LateThread does), and throws from main. */
public class Handled {
    public static void main(String[] args) {
        Thread.UncaughtExceptionHandler handler = new Thread.UncaughtExceptionHandler() {
            public void uncaughtException(Thread thread, Throwable e) {
                Report.line("handler", thread.getName() + "\t" + e);
            }
        };
        if ("thread".equals(System.getProperty("kvotest.handlerOn")))
            Thread.currentThread().setUncaughtExceptionHandler(handler);
        else
            Thread.setDefaultUncaughtExceptionHandler(handler);
        LateThread.main(args);
        throw new IllegalStateException("for the application's handler");
    }
}
