package kvotest;

import com.korvo.runtime.Report;
import com.korvo.runtime.SingleInstance;
import com.korvo.runtime.StartupListener;

/** The running instance: adds a listener after args[0] ms ("-": never),
 * notes what later starts hand over, and lives args[1] ms. */
public class Listens {
    public static void main(String[] args) throws Exception {
        long end = System.currentTimeMillis() + Long.parseLong(args[1]);
        Report.line("ready", "yes");
        if (!args[0].equals("-")) {
            Thread.sleep(Long.parseLong(args[0]));
            SingleInstance.addListener(new StartupListener() {
                public void startup(String[] arguments) {
                    StringBuilder text = new StringBuilder();
                    for (int i = 0; i < arguments.length; i++)
                        text.append(i == 0 ? "" : "|").append(arguments[i]);
                    Report.line("startup", Thread.currentThread().isDaemon() + "\t" + text);
                }
            });
            Report.line("listening", "yes");
        }
        long left;
        while ((left = end - System.currentTimeMillis()) > 0)
            Thread.sleep(left);
    }
}
