package kvobench;

import java.io.FileOutputStream;

/** The application of the start-up benchmark: notes how many milliseconds
 * after its process was created its main was entered, in the file
 * KVO_BENCH_OUT names, and returns. Launched by kvo-runtime.jar's launcher
 * class, or called directly by the bare loader. */
public class Main {
    static native double processCreatedMillis();

    public static void main(String[] args) throws Exception {
        note(System.currentTimeMillis());
    }

    /** `entered`: when a main was entered, on Java's clock. */
    public static void note(long entered) throws Exception {
        System.load(System.getenv("KVO_BENCH_CLOCK"));
        double since = entered - processCreatedMillis();
        FileOutputStream out = new FileOutputStream(System.getenv("KVO_BENCH_OUT"));
        // The temporary directory a packed launcher extracted into (and
        // leaves behind), for the benchmark to remove.
        String extracted = System.getProperty("korvo.tempDir", "");
        out.write((since + "\n" + extracted + "\n").getBytes("UTF-8"));
        out.close();
    }
}
