package kvotest;

import com.korvo.runtime.Report;

/** Installs a default uncaught-exception handler, starts an ordinary thread
 * that works args[0] ms, and throws from main. */
public class Handled {
    public static void main(final String[] args) {
        Thread.setDefaultUncaughtExceptionHandler(new Thread.UncaughtExceptionHandler() {
            public void uncaughtException(Thread thread, Throwable e) {
                Report.line("handler", thread.getName() + "\t" + e);
            }
        });
        new Thread(new Runnable() {
            public void run() {
                try {
                    Thread.sleep(Long.parseLong(args[0]));
                } catch (InterruptedException e) {
                    Report.line("worker", "interrupted");
                }
                Report.line("worker", "done");
            }
        }).start();
        throw new IllegalStateException("for the application's handler");
    }
}
