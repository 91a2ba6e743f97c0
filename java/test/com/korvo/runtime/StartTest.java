package com.korvo.runtime;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.fail;

import org.junit.Test;

public class StartTest {
    static String[] received;

    public static class App {
        public static void main(String[] args) {
            received = args;
        }
    }

    static class Hidden {
        public static void main(String[] args) {
            received = new String[] {"hidden"};
        }
    }

    public static class Throws {
        public static void main(String[] args) throws Exception {
            throw new java.io.IOException("from main");
        }
    }

    public static class NotStatic {
        public void main(String[] args) {}
    }

    public static class ReturnsInt {
        public static int main(String[] args) {
            return 1;
        }
    }

    public static class NoMain {}

    private static String failure(String... values) {
        try {
            Start.run(values);
        } catch (Throwable t) {
            return t.toString();
        }
        fail("no exception for " + values[1]);
        return null;
    }

    private static String[] launcherValues(String mainClass, String... arguments) {
        String[] values = new String[6 + arguments.length];
        String[] leading = {"false", mainClass, "", "", "false", "app.exe"};
        System.arraycopy(leading, 0, values, 0, 6);
        System.arraycopy(arguments, 0, values, 6, arguments.length);
        return values;
    }

    @Test
    public void mainGetsTheArgumentsAfterTheLeadingValues() throws Throwable {
        Start.run(launcherValues(App.class.getName(), "one", "two words", ""));
        assertArrayEquals(new String[] {"one", "two words", ""}, received);
        Start.run(launcherValues(App.class.getName()));
        assertArrayEquals(new String[0], received);
        // A class java could start although it is not public; a slashed name.
        Start.run(launcherValues(Hidden.class.getName().replace('.', '/')));
        assertArrayEquals(new String[] {"hidden"}, received);
        assertEquals("false", System.getProperty("korvo.guiApplication"));
    }

    @Test
    public void whatGoesWrongLeavesAsTheExceptionOfMain() {
        String outer = StartTest.class.getName();
        assertEquals("java.lang.ClassNotFoundException: com.acme.Mian", failure(launcherValues("com.acme.Mian")));
        assertEquals("java.lang.ClassNotFoundException: no main class is configured (record MainClass is empty)",
                failure(launcherValues(" ")));
        assertEquals("java.lang.NoSuchMethodException: " + outer + "$NoMain has no method public static void main(String[])",
                failure(launcherValues(outer + "$NoMain")));
        assertEquals("java.lang.NoSuchMethodException: " + outer + "$NotStatic.main(String[]) is not public static void",
                failure(launcherValues(outer + "$NotStatic")));
        assertEquals("java.lang.NoSuchMethodException: " + outer + "$ReturnsInt.main(String[]) is not public static void",
                failure(launcherValues(outer + "$ReturnsInt")));
        // The application's own exception, not the reflection around it.
        assertEquals("java.io.IOException: from main", failure(launcherValues(outer + "$Throws")));
        assertEquals("java.lang.IllegalArgumentException: the launcher class needs 6 leading values (GUI flag, "
                + "main class, two output files, flag, launcher name); got 5",
                failure("true", App.class.getName(), "", "", "false"));
    }
}
