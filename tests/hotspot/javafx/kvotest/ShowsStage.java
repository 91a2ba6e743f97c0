package kvotest;

import com.korvo.runtime.Report;
import javafx.application.Application;
import javafx.application.Platform;
import javafx.scene.Scene;
import javafx.scene.layout.Pane;
import javafx.stage.Stage;

/** A JavaFX application without a main: its start shows a stage, notes
 * that it is showing, where and with which arguments, and ends the
 * toolkit. */
public class ShowsStage extends Application {
    @Override
    public void start(Stage stage) {
        stage.setScene(new Scene(new Pane(), 200, 100));
        stage.show();
        Report.line("shown", stage.isShowing() + "\t" + Thread.currentThread().getName() + "\t"
                + String.join("|", getParameters().getRaw()));
        Platform.exit();
    }
}
