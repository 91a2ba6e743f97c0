package com.vandrel.runtime.launcher;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertNull;
import static org.junit.Assert.assertTrue;

import java.io.File;
import java.io.IOException;
import org.junit.After;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

public class FirstRunTest {
    @Rule
    public TemporaryFolder folder = new TemporaryFolder();

    static boolean answer;
    static int calls;

    public static class Work {
        public static boolean firstRun() {
            calls++;
            return answer;
        }
    }

    private final String classPath = System.getProperty("java.class.path");

    @After
    public void restore() {
        System.setProperty("java.class.path", classPath);
        System.clearProperty(FirstRun.WORK_PROPERTY);
    }

    @Test
    public void theMarkerStandsBesideTheRuntimeArchive() {
        String sep = File.pathSeparator;
        assertEquals(new File("app\\.\\.vandrel\\firstrun"),
                FirstRun.marker("app\\lib\\a.jar" + sep + "app\\.\\.vandrel\\vdlruntime.jar" + sep + "x.jar"));
        assertEquals(new File("/opt/app/.vandrel/firstrun"), FirstRun.marker("/opt/app/.vandrel/vdlruntime.jar"));
        assertNull(FirstRun.marker("app\\lib\\vdlruntime.jar" + sep + "app\\.vandrel\\other.jar"));
        assertNull(FirstRun.marker(null));
    }

    @Test
    public void theWorkRunsUntilItSaysTrueThenTheMarkerGoes() throws Throwable {
        File vandrel = folder.newFolder(".vandrel");
        File marker = new File(vandrel, "firstrun");
        assertTrue(marker.createNewFile());
        System.setProperty("java.class.path", new File(vandrel, "vdlruntime.jar").getPath());
        System.setProperty(FirstRun.WORK_PROPERTY, Work.class.getName());
        calls = 0;
        answer = false;
        assertFalse(FirstRun.firstRun());
        assertTrue(marker.exists());
        answer = true;
        assertTrue(FirstRun.firstRun());
        assertFalse(marker.exists());
        assertEquals(2, calls);
        // Without work of the application's own the start simply goes on.
        System.clearProperty(FirstRun.WORK_PROPERTY);
        assertTrue(marker.createNewFile());
        assertTrue(FirstRun.firstRun());
        assertFalse(marker.exists());
    }

    @Test(expected = ClassNotFoundException.class)
    public void workThatIsNotThereIsAnError() throws Throwable {
        System.setProperty(FirstRun.WORK_PROPERTY, "com.acme.NoSetup");
        FirstRun.firstRun();
    }
}
