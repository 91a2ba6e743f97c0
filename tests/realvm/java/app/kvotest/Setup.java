package kvotest;

import com.korvo.runtime.Report;

/** First-run work: notes that it ran and answers kvotest.firstRunAnswer. */
public class Setup {
    public static boolean firstRun() {
        Report.line("first-run", "ran");
        return !"false".equals(System.getProperty("kvotest.firstRunAnswer"));
    }
}
