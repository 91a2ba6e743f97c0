package kvotest;

import com.korvo.runtime.Report;

/** main returns at once; an ordinary thread goes on for args[0] ms. */
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
        worker.start();
        Report.line("main", "returns");
    }
}
