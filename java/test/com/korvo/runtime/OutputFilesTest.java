package com.korvo.runtime;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertSame;
import static org.junit.Assert.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.FileInputStream;
import java.io.IOException;
import java.io.PrintStream;
import org.junit.After;
import org.junit.Before;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

public class OutputFilesTest {
    @Rule
    public TemporaryFolder folder = new TemporaryFolder();

    private PrintStream out;
    private PrintStream err;
    private final ByteArrayOutputStream complaints = new ByteArrayOutputStream();

    @Before
    public void keepStreams() {
        out = System.out;
        err = System.err;
        System.setErr(new PrintStream(complaints, true));
    }

    @After
    public void restoreStreams() {
        System.setOut(out);
        System.setErr(err);
    }

    private static String read(File file) throws IOException {
        FileInputStream in = new FileInputStream(file);
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        for (int c; (c = in.read()) >= 0;)
            bytes.write(c);
        in.close();
        return bytes.toString("UTF-8").replace("\r\n", "\n");
    }

    private void run(String outFile, String errFile, boolean append, String text) {
        PrintStream complaintsStream = System.err;
        OutputFiles.redirect(outFile, errFile, append);
        System.out.println("out: " + text);
        System.err.println("err: " + text);
        System.out.close();
        if (System.err != System.out)
            System.err.close();
        System.setOut(out);
        System.setErr(complaintsStream);
    }

    @Test
    public void bothStreamsInOneFileKeepTheirOrderAndTheFlagAppends() throws IOException {
        String log = new File(folder.getRoot(), "logs/output.log").getPath();
        run(log, log, true, "first");
        run(log, log, true, "second");
        assertEquals("out: first\nerr: first\nout: second\nerr: second\n", read(new File(log)));
        // Without the flag each start replaces the file.
        run(log, log, false, "third");
        assertEquals("out: third\nerr: third\n", read(new File(log)));
    }

    @Test
    public void eachStreamItsFileOrNone() throws IOException {
        File outLog = new File(folder.getRoot(), "out.log");
        File errLog = new File(folder.getRoot(), "err.log");
        run(outLog.getPath(), errLog.getPath(), false, "split");
        assertEquals("out: split\n", read(outLog));
        assertEquals("err: split\n", read(errLog));
        // Empty, and "$..." (left to the application), redirect nothing.
        PrintStream before = System.out;
        OutputFiles.redirect("", "$LOG", false);
        assertSame(before, System.out);
        assertEquals("", complaints.toString());
    }

    @Test
    public void aFileThatCannotBeWrittenLeavesTheStreamAndSaysSo() throws IOException {
        File directory = folder.newFolder("a-directory");
        PrintStream before = System.out;
        OutputFiles.redirect(directory.getPath(), "", false);
        assertSame(before, System.out);
        assertTrue(complaints.toString(), complaints.toString().startsWith(
                "kvo-runtime: output file " + directory.getPath() + " cannot be written"));
    }
}
