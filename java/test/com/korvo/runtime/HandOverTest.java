package com.korvo.runtime;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertNull;
import static org.junit.Assert.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.util.ArrayList;
import java.util.List;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

public class HandOverTest {
    @Rule
    public TemporaryFolder folder = new TemporaryFolder();

    private File write(byte[] bytes) throws IOException {
        File file = new File(folder.getRoot(), "kvo_p12.tmp");
        FileOutputStream out = new FileOutputStream(file);
        out.write(bytes);
        out.close();
        return file;
    }

    @Test
    public void aFinishedFileIsTakenOnceAndDeleted() throws IOException {
        HandOver handOver = new HandOver();
        File file = write(CommFileTest.utf16("a 'b c'\n"));
        assertArrayEquals(new String[] {"a", "b c"}, handOver.take(file, 0));
        assertFalse(file.exists());
        assertNull(handOver.take(file, 1));
        // A start without arguments writes the line feed alone.
        write(CommFileTest.utf16("\n"));
        assertArrayEquals(new String[0], handOver.take(file, 2));
        assertFalse(file.exists());
    }

    @Test
    public void anUnfinishedFileWaitsForItsLineFeedButNotForEver() throws IOException {
        HandOver handOver = new HandOver();
        File file = write(CommFileTest.utf16("half"));
        assertNull(handOver.take(file, 1000));
        assertNull(handOver.take(file, 1000 + HandOver.UNFINISHED_MILLIS - 1));
        assertTrue(file.exists());
        // Growing content starts the wait anew.
        write(CommFileTest.utf16("half more"));
        assertNull(handOver.take(file, 1000 + HandOver.UNFINISHED_MILLIS));
        assertArrayEquals(new String[] {"half", "more"}, handOver.take(file, 1000 + 2 * HandOver.UNFINISHED_MILLIS));
        assertFalse(file.exists());
    }

    @Test
    public void aFileNoLauncherWroteIsDeletedUnread() throws IOException {
        HandOver handOver = new HandOver();
        byte[] huge = new byte[HandOver.LARGEST_FILE + 2];
        huge[huge.length - 2] = '\n';
        File file = write(huge);
        assertNull(handOver.take(file, 0));
        assertFalse(file.exists());
    }

    static class Recorder implements StartupListener {
        final List<String> seen = new ArrayList<String>();
        final String name;

        Recorder(String name) {
            this.name = name;
        }

        public void startup(String[] arguments) {
            seen.add(name + ":" + join(arguments));
            arguments[0] = "changed by " + name;
        }
    }

    static String join(String[] values) {
        StringBuilder b = new StringBuilder();
        for (String v : values)
            b.append(b.length() == 0 ? "" : ",").append(v);
        return b.toString();
    }

    @Test
    public void startsWaitForTheFirstListenerThenEveryListenerGetsItsOwnCopy() {
        HandOver handOver = new HandOver();
        for (int i = 0; i < HandOver.KEPT + 3; i++)
            handOver.arrive(new String[] {"start" + i});
        handOver.deliver();
        assertEquals(HandOver.KEPT, handOver.waitingCount());
        Recorder first = new Recorder("first");
        handOver.add(first);
        final int[] calls = {0};
        handOver.add(new StartupListener() {
            public void startup(String[] arguments) {
                if (calls[0]++ == 0)
                    throw new IllegalStateException("a listener's own fault");
            }
        });
        Recorder third = new Recorder("third");
        handOver.add(third);
        PrintStream err = System.err;
        ByteArrayOutputStream complaints = new ByteArrayOutputStream();
        System.setErr(new PrintStream(complaints, true));
        try {
            handOver.deliver();
        } finally {
            System.setErr(err);
        }
        assertTrue(complaints.toString(), complaints.toString().startsWith(
                "kvo-runtime: the arguments of 3 earlier starts were dropped: no listener was added and only the last "
                + HandOver.KEPT + " are kept\nkvo-runtime: a startup listener failed: "
                + "java.lang.IllegalStateException: a listener's own fault\n"));
        assertEquals(HandOver.KEPT, calls[0]);
        // The oldest three were dropped; the rest arrive in order, and a
        // listener that throws stops neither the others nor later starts.
        assertEquals(HandOver.KEPT, first.seen.size());
        assertEquals("first:start3", first.seen.get(0));
        assertEquals("first:start" + (HandOver.KEPT + 2), first.seen.get(HandOver.KEPT - 1));
        assertEquals("third:start3", third.seen.get(0));
        handOver.remove(first);
        handOver.arrive(new String[] {"late"});
        handOver.deliver();
        assertEquals(HandOver.KEPT, first.seen.size());
        assertEquals("third:late", third.seen.get(HandOver.KEPT));
    }
}
