package javafx.application;

import com.korvo.runtime.Report;

/** A stand-in of the toolkit's class, for a VM without the toolkit: launch
 * notes what it was given and starts the application on a new instance. */
public abstract class Application {
    public static void launch(Class<? extends Application> type, String... args) {
        StringBuilder b = new StringBuilder(type.getName()).append('\t').append(Thread.currentThread().getName());
        for (int i = 0; i < args.length; i++)
            b.append(i == 0 ? "\t" : "|").append(args[i]);
        Report.line("launch", b.toString());
        try {
            type.newInstance().start();
        } catch (Exception e) {
            throw new RuntimeException("Application launch exception", e);
        }
    }

    public abstract void start() throws Exception;
}
