package kvotest;

import com.korvo.runtime.Report;
import java.io.File;
import java.io.FileInputStream;

/** The running instance's side of the hand-over: waits (at most args[0]
 * ms) for the communication file, reads it as UTF-16LE and deletes it. */
public class Receiver {
    public static void main(String[] args) throws Exception {
        String path = System.getProperty("korvo.processCommFile");
        Report.line("commfile", path);
        Report.line("ready", "yes");
        long end = System.currentTimeMillis() + Long.parseLong(args[0]);
        File file = new File(path);
        while (!file.exists() && System.currentTimeMillis() < end)
            Thread.sleep(50);
        if (!file.exists()) {
            Report.line("received", "<nothing>");
            return;
        }
        // The writer holds the file unshared until its line feed is written.
        String text = null;
        while (System.currentTimeMillis() < end) {
            text = readUtf16(file);
            if (text != null && text.endsWith("\n"))
                break;
            Thread.sleep(50);
        }
        Report.line("received", String.valueOf(text));
        Report.line("deleted", String.valueOf(file.delete()));
    }

    static String readUtf16(File file) {
        try {
            FileInputStream in = new FileInputStream(file);
            StringBuilder text = new StringBuilder();
            try {
                for (int low; (low = in.read()) >= 0;) {
                    int high = in.read();
                    text.append((char) (low | (high << 8)));
                }
            } finally {
                in.close();
            }
            return text.toString();
        } catch (java.io.IOException e) {
            return null;
        }
    }
}
