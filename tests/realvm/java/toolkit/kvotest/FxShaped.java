package kvotest;

import com.korvo.runtime.Report;

/** A JavaFX application as many are written: no main of its own. */
public class FxShaped extends javafx.application.Application {
    public void start() {
        Report.line("start", "ran");
    }
}
