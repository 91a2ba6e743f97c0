package kvotest;

import com.korvo.runtime.Report;

/** A main class whose static initialiser fails, so main is never reached. */
public class BadInit {
    static {
        // On main's thread, as under java.
        Report.line("init", Thread.currentThread().getName());
        if (!Boolean.getBoolean("kvotest.neverSet"))
            throw new IllegalStateException("the application's static initialiser failed");
    }

    public static void main(String[] args) {
        Report.line("main", "reached");
    }
}
