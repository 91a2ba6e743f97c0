package kvotest;

import com.korvo.runtime.Report;

/** An ordinary thread that waits for main to end, then works args[0] ms
 * more; main returns at once. */
public class JoinsMain {
    public static void main(final String[] args) {
        final Thread main = Thread.currentThread();
        Report.line("main-thread", main.getName() + "\t" + main.isDaemon());
        Thread worker = new Thread(new Runnable() {
            public void run() {
                try {
                    main.join();
                    Report.line("worker", "main ended\t" + main.isAlive());
                    Thread.sleep(Long.parseLong(args[0]));
                } catch (InterruptedException e) {
                    Report.line("worker", "interrupted");
                }
                Report.line("worker", "done");
            }
        });
        worker.start();
        Report.line("main", "returns");
    }
}
