package kvotest;

import com.korvo.runtime.Report;

/** Installs a default uncaught-exception handler, starts an ordinary thread
 * that works args[0] ms (as LateThread does), and throws from main. */
public class Handled {
    public static void main(String[] args) {
        Thread.setDefaultUncaughtExceptionHandler(new Thread.UncaughtExceptionHandler() {
            public void uncaughtException(Thread thread, Throwable e) {
                Report.line("handler", thread.getName() + "\t" + e);
            }
        });
        LateThread.main(args);
        throw new IllegalStateException("for the application's handler");
    }
}
