package kvotest;

import com.korvo.runtime.Report;
import com.korvo.runtime.Splash;

/** Steers the splash through the runtime's API from a thread that outlives
 * main: a status text per argument, "hide" hides it. */
public class SplashApi {
    public static void main(final String[] args) {
        new Thread(new Runnable() {
            public void run() {
                try {
                    for (int i = 0; i < args.length; i++) {
                        Thread.sleep(700);
                        if (args[i].equals("hide"))
                            Splash.hide();
                        else
                            Splash.setText(args[i]);
                        Report.line("step", args[i]);
                    }
                    Thread.sleep(700);
                } catch (InterruptedException e) {
                    Report.line("step", "interrupted");
                }
                Report.line("step", "done");
            }
        }).start();
    }
}
