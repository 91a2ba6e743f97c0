package com.korvo.runtime;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;
import static org.junit.Assume.assumeTrue;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collection;
import java.util.List;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;
import org.junit.runner.RunWith;
import org.junit.runners.Parameterized;

/** Both views: the one of every Java 7 and later, and the plain one of the small VM. */
@RunWith(Parameterized.class)
public class TempLeftoversTest {
    // Whole seconds: some file systems keep no finer times.
    static final long WRITTEN = 1700000000000L;
    static final long LATER = WRITTEN + TempLeftovers.MARGIN_MILLIS + 1000;

    @Parameterized.Parameters(name = "{0}")
    public static Collection<Object[]> views() {
        return Arrays.asList(new Object[][] {{"nio", new NioDirectoryView()}, {"io", new DirectoryView()}});
    }

    @Rule
    public TemporaryFolder folder = new TemporaryFolder();

    private final String viewName;
    private final DirectoryView view;

    public TempLeftoversTest(String viewName, DirectoryView view) {
        this.viewName = viewName;
        this.view = view;
    }

    private File file(String name, int size, long modified) throws IOException {
        File file = new File(folder.getRoot(), name);
        file.getParentFile().mkdirs();
        FileOutputStream out = new FileOutputStream(file);
        out.write(new byte[size]);
        out.close();
        assertTrue(file.setLastModified(modified));
        return file;
    }

    /** A directory as a start leaves it: the jar, and beside it the empty file the name came from. */
    private File leftover(String name, long modified) throws IOException {
        file(name + "/" + TempLeftovers.RUNTIME_JAR, 100, modified);
        int length = TempLeftovers.temporaryFileNameLength(name);
        if (name.regionMatches(true, length - 4, ".tmp", 0, 4))
            file(name.substring(0, length), 0, modified);
        return new File(folder.getRoot(), name);
    }

    private File own() {
        return new File(folder.getRoot(), "kvoC0DE.tmp_dir1700003600");
    }

    private int removeAt(long now) {
        return new TempLeftovers(view, own()).removeLeftovers(now);
    }

    private List<String> names() {
        List<String> names = new ArrayList<String>(Arrays.asList(folder.getRoot().list()));
        java.util.Collections.sort(names);
        return names;
    }

    @Test
    public void staleDirectoriesOfEveryNameFormGoWithTheirEmptyFiles() throws IOException {
        leftover("kvo1a2b.tmp_dir1699999000", WRITTEN);
        leftover("KVOFFFF.TMP_DIR-12", WRITTEN);       // the system's letter case; a time before 1970
        leftover("kvo1.tmp_dir0", WRITTEN);
        leftover("kvo32767_dir1699999000", WRITTEN);   // no system name: the launcher's own number, no file
        leftover(own().getName(), WRITTEN);
        assertEquals(4, removeAt(LATER));
        assertEquals(Arrays.asList("kvoC0DE.tmp", own().getName()), names());
        assertEquals(Arrays.asList(TempLeftovers.RUNTIME_JAR), Arrays.asList(own().list()));
    }

    @Test
    public void aYoungJarStaysUntilTheMarginHasPassed() throws IOException {
        leftover("kvo1.tmp_dir5", WRITTEN);
        leftover("kvo2.tmp_dir5", 0);                  // a time that cannot be read is no age
        assertEquals(0, removeAt(WRITTEN + TempLeftovers.MARGIN_MILLIS));
        assertEquals(0, removeAt(WRITTEN - 1000));     // a clock set back
        assertTrue(new File(folder.getRoot(), "kvo1.tmp_dir5/" + TempLeftovers.RUNTIME_JAR).exists());
        assertEquals(1, removeAt(WRITTEN + TempLeftovers.MARGIN_MILLIS + 1000));
        assertEquals(Arrays.asList("kvo2.tmp", "kvo2.tmp_dir5"), names());
    }

    @Test
    public void onlyARuntimeAloneInALauncherDirectoryCounts() throws IOException {
        file("kvo2.tmp_dir5/" + TempLeftovers.RUNTIME_JAR, 100, WRITTEN);
        file("kvo2.tmp_dir5/native.dll", 100, WRITTEN);
        file("kvo3.tmp_dir5/app.jar", 100, WRITTEN);
        file("kvo4.tmp_dir5/lib/" + TempLeftovers.RUNTIME_JAR, 100, WRITTEN);
        file("kvo5.tmp_dir5/" + TempLeftovers.RUNTIME_JAR + "/inner", 100, WRITTEN);
        file("kvo6.tmp_dir5/" + TempLeftovers.RUNTIME_JAR.toUpperCase(), 100, WRITTEN);
        new File(folder.getRoot(), "kvo7.tmp_dir5").mkdir();
        file("kvo8.tmp_dir5", 0, WRITTEN);             // a file where the directory should be
        file("kvo8.tmp", 0, WRITTEN);
        for (String lookalike : new String[] {"kvo12345.tmp_dir5", "kvo1g.tmp_dir5", "kvo.tmp_dir5", "kvo1.tmp_dir",
                "kvo1.tmp_dirx", "kvo1.tmp_dir5.bak", "kvo1.tmp_dir12345678901", "kvo123456_dir5", "kvo1.tmp-dir5",
                "xkvo1.tmp_dir5", "kvo_p12.tmp_dir5", "kvo1.tmp_dir--5", "kvo1f_dir5"})
            file(lookalike + "/" + TempLeftovers.RUNTIME_JAR, 100, WRITTEN);
        List<String> before = names();
        assertEquals(0, removeAt(LATER));
        assertEquals(before, names());
        assertTrue(new File(folder.getRoot(), "kvo2.tmp_dir5/" + TempLeftovers.RUNTIME_JAR).exists());
    }

    @Test
    public void theNameTellsWhichFileTheDirectoryWasMadeFrom() {
        String[] names = {"kvo1a2b.tmp_dir5", "kvo1a2b.tmp", "KVOFFFF.TMP_DIR-2147483648", "KVOFFFF.TMP",
            "kvo32767_dir1", "kvo32767", "kvo0.tmp_dir0", "kvo0.tmp", "kvo1.tmp_dir-", null, "kvo1.tmp_dir\u0665", null,
            "kvo\u0661.tmp_dir5", null, "kvo\uff11.tmp_dir5", null, "kvo1.tmp_dir 5", null, "kvo 1.tmp_dir5", null};
        for (int i = 0; i < names.length; i += 2)
            assertEquals(names[i], names[i + 1] == null ? -1 : names[i + 1].length(),
                    TempLeftovers.temporaryFileNameLength(names[i]));
    }

    @Test
    public void theFileBesideTheDirectoryGoesOnlyWhenItIsEmptyAndOld() throws IOException {
        leftover("kvo1.tmp_dir5", WRITTEN);
        file("kvo1.tmp", 3, WRITTEN);                  // written by someone else since
        leftover("kvo2.tmp_dir5", WRITTEN);
        file("kvo2.tmp", 0, LATER - 1000);
        leftover("kvo3.tmp_dir5", WRITTEN);
        new File(folder.getRoot(), "kvo3.tmp").delete();
        new File(folder.getRoot(), "kvo3.tmp").mkdir();
        leftover("kvo4.tmp_dir5", WRITTEN);
        assertEquals(4, removeAt(LATER));
        assertEquals(Arrays.asList("kvo1.tmp", "kvo2.tmp", "kvo3.tmp"), names());
    }

    @Test
    public void linksAreNeitherFollowedNorRemoved() throws IOException {
        assumeTrue("the plain view cannot tell a link from its target", viewName.equals("nio"));
        File elsewhere = leftover("elsewhere/kvo9.tmp_dir5", WRITTEN);
        Files.createSymbolicLink(new File(folder.getRoot(), "kvo1.tmp_dir5").toPath(), elsewhere.toPath());
        File jar = file("outside/" + TempLeftovers.RUNTIME_JAR, 100, WRITTEN);
        new File(folder.getRoot(), "kvo2.tmp_dir5").mkdir();
        Files.createSymbolicLink(new File(folder.getRoot(), "kvo2.tmp_dir5/" + TempLeftovers.RUNTIME_JAR).toPath(),
                jar.toPath());
        assertEquals(0, removeAt(LATER));
        assertTrue(new File(elsewhere, TempLeftovers.RUNTIME_JAR).exists());
        assertTrue(jar.exists());
        assertTrue(Files.isSymbolicLink(new File(folder.getRoot(), "kvo1.tmp_dir5").toPath()));
        assertTrue(Files.isSymbolicLink(new File(folder.getRoot(), "kvo2.tmp_dir5/" + TempLeftovers.RUNTIME_JAR)
                .toPath()));
    }

    @Test
    public void aBacklogGoesOverSeveralStarts() throws IOException {
        int backlog = TempLeftovers.DIRECTORIES_OPENED + 7;
        for (int i = 0; i < backlog; i++)
            leftover("kvo" + Integer.toHexString(i) + ".tmp_dir5", WRITTEN);
        assertEquals(TempLeftovers.DIRECTORIES_OPENED, removeAt(LATER));
        assertEquals(14, names().size());
        assertEquals(7, removeAt(LATER));
        assertEquals(Arrays.asList(), names());
    }

    @Test
    public void startedBesideTheApplicationAndSilentWhateverHappens() throws Exception {
        leftover("kvo1.tmp_dir5", 1000);
        String saved = System.getProperty("korvo.tempDir");
        try {
            for (String elsewhere : new String[] {"", folder.getRoot().getPath(), new File(folder.getRoot(), "kvo")
                    .getPath(), "kvo1.tmp_dir5"}) {
                System.setProperty("korvo.tempDir", elsewhere);
                assertEquals(elsewhere, null, TempLeftovers.start());
            }
            System.setProperty("korvo.tempDir", own().getPath());
            Thread thread = TempLeftovers.start();
            assertEquals("korvo temp clean-up", thread.getName());
            assertTrue(thread.isDaemon());
            assertEquals(Thread.MIN_PRIORITY, thread.getPriority());
            thread.join(10000);
            assertEquals(Arrays.asList(), names());
        } finally {
            if (saved == null)
                System.clearProperty("korvo.tempDir");
            else
                System.setProperty("korvo.tempDir", saved);
        }
        DirectoryView failing = new DirectoryView() {
            @Override
            boolean each(File directory, int limit, Visitor visitor) {
                throw new OutOfMemoryError("while reading " + directory);
            }
        };
        new TempLeftovers(failing, own()).run();
        assertFalse(DirectoryView.best().getClass() == DirectoryView.class);
    }
}
