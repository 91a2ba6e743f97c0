package kvotest;

import com.korvo.runtime.KorvoController;
import com.korvo.runtime.Report;
import com.korvo.runtime.Splash;

/** Steers the splash from a thread that outlives main, as a desktop
 * application does while it builds its window: texts, then the hide.
 * Through the runtime's Splash with kvotest.splashApi=true, else through
 * the test's own controller class. */
public class SplashSteps {
    public static void main(final String[] args) {
        final boolean api = Boolean.getBoolean("kvotest.splashApi");
        new Thread(new Runnable() {
            public void run() {
                try {
                    for (int i = 0; i < args.length; i++) {
                        Thread.sleep(700);
                        if (args[i].equals("hide")) {
                            if (api)
                                Splash.hide();
                            else
                                KorvoController.hide();
                            Report.line("step", "hide");
                        } else {
                            if (api)
                                Splash.setText(args[i]);
                            else
                                KorvoController.setText(args[i]);
                            Report.line("step", "text " + args[i]);
                        }
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
