package kvotest;

import com.korvo.runtime.Report;

/** main returns at once; an ordinary thread goes on for args[0] ms (a
 * daemon thread when args[1] is "daemon"). */
public class LateThread {
    public static void main(final String[] args) {
        Thread worker = new Thread(new Runnable() {
            public void run() {
                try {
                    Thread.sleep(Long.parseLong(args[0]));
                } catch (InterruptedException e) {
                    Report.line("worker", "interrupted");
                }
                Report.line("worker", "done");
            }
        });
        worker.setDaemon(args.length > 1 && args[1].equals("daemon"));
        worker.start();
        Report.line("main", "returns");
    }
}
