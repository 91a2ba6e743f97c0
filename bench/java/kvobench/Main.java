package kvobench;

import java.io.FileOutputStream;

/** The application of the start-up benchmark: notes when its main was
 * entered, in the file KVO_BENCH_OUT names, and returns. Launched by
 * kvo-runtime.jar's launcher class, or called directly by the bare loader
 * (or by the benchmark's own launcher class). Under Wine: milliseconds
 * since its process was created, from the clock library KVO_BENCH_CLOCK
 * names. Without one (HotSpot on Linux): System.nanoTime(), which there is
 * CLOCK_MONOTONIC, the clock the benchmark took before it started the
 * process, as "mono NANOS". */
public class Main {
    static native double processCreatedMillis();

    public static void main(String[] args) throws Exception {
        note(System.currentTimeMillis(), System.nanoTime());
    }

    /** `entered`, `enteredNanos`: when a main was entered, on Java's clocks. */
    public static void note(long entered, long enteredNanos) throws Exception {
        String clock = System.getenv("KVO_BENCH_CLOCK");
        String since;
        if (clock == null) {
            since = "mono " + enteredNanos;
        } else {
            System.load(clock);
            since = String.valueOf(entered - processCreatedMillis());
        }
        FileOutputStream out = new FileOutputStream(System.getenv("KVO_BENCH_OUT"));
        // The temporary directory a packed launcher of an older stub
        // extracted into (and leaves behind), for the benchmark to remove.
        String extracted = System.getProperty("korvo.tempDir", "");
        out.write((since + "\n" + extracted + "\n").getBytes("UTF-8"));
        out.close();
    }
}
