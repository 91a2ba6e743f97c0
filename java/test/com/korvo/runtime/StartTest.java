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

    // The forms java of Java 25 starts: the argument array decides before
    // static does, any access but private counts, inherited ones too.
    static String ran;

    static class StaticArgs { static void main(String[] args) { ran = "static main(String[]) " + args.length; } }

    protected static class StaticNone { protected static void main() { ran = "static main()"; } }

    public static class InstanceArgs {
        public void main(String[] args) { ran = "main(String[]) " + args.length + " on " + getClass().getSimpleName(); }
    }

    static class InstanceNone { void main() { ran = "main()"; } }

    static class ArrayBeforeStatic {
        static void main() { ran = "static main()"; }
        void main(String[] args) { ran = "main(String[])"; }
    }

    static class StaticBeforeInstance {
        static void main(String[] args) { ran = "static main(String[])"; }
        void main() { ran = "main()"; }
    }

    static class PrivateArraySkipped {
        private static void main(String[] args) { ran = "private"; }
        static void main() { ran = "static main()"; }
    }

    static class VoidOnly {
        static int main(String[] args) { ran = "int"; return 1; }
        void main() { ran = "main()"; }
    }

    static class InheritsStatic extends StaticArgs {}

    static class InheritsInstance extends InstanceArgs { static void main() { ran = "own static main()"; } }

    interface DefaultMain { default void main() { ran = "default main()"; } }

    static class FromInterface implements DefaultMain {}

    interface StaticMain { static void main(String[] args) { ran = "interface static"; } }

    static class NotFromInterface implements StaticMain {}

    static class PrivateOnly { private static void main(String[] args) { ran = "private"; } }

    static class NoConstructor { NoConstructor(int unused) {} void main() {} }

    static class PrivateConstructor { private PrivateConstructor() {} void main(String[] args) {} }

    abstract static class Abstract { void main() {} }

    static class ConstructorThrows {
        ConstructorThrows() { throw new IllegalStateException("from the constructor"); }
        void main() { ran = "main()"; }
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
    public void theMainJavaWouldStartIsStarted() throws Throwable {
        String[][] table = {
            {"StaticArgs", "static main(String[]) 2"},
            {"StaticNone", "static main()"},
            {"InstanceArgs", "main(String[]) 2 on InstanceArgs"},
            {"InstanceNone", "main()"},
            {"ArrayBeforeStatic", "main(String[])"},
            {"StaticBeforeInstance", "static main(String[])"},
            {"PrivateArraySkipped", "static main()"},
            {"VoidOnly", "main()"},
            {"InheritsStatic", "static main(String[]) 2"},
            {"InheritsInstance", "main(String[]) 2 on InheritsInstance"},
            {"FromInterface", "default main()"},
        };
        for (String[] row : table) {
            ran = null;
            Start.run(launcherValues(StartTest.class.getName() + "$" + row[0], "one", "two"));
            assertEquals(row[0], row[1], ran);
        }
    }

    @Test
    public void whatGoesWrongLeavesAsTheExceptionOfMain() {
        String outer = StartTest.class.getName();
        assertEquals("java.lang.ClassNotFoundException: com.acme.Mian", failure(launcherValues("com.acme.Mian")));
        assertEquals("java.lang.ClassNotFoundException: no main class is configured (record MainClass is empty)",
                failure(launcherValues(" ")));
        String forms = ": write static void main(String[] args), static void main(), void main(String[] args) or "
                + "void main(), with any access but private, or extend javafx.application.Application";
        assertEquals("java.lang.NoSuchMethodException: " + outer + "$NoMain has no main method to start" + forms,
                failure(launcherValues(outer + "$NoMain")));
        assertEquals("java.lang.NoSuchMethodException: " + outer + "$ReturnsInt has no main method to start ("
                + outer + "$ReturnsInt.main(String[]) returns int)" + forms, failure(launcherValues(outer + "$ReturnsInt")));
        assertEquals("java.lang.NoSuchMethodException: " + outer + "$PrivateOnly has no main method to start ("
                + outer + "$PrivateOnly.main(String[]) is private)" + forms, failure(launcherValues(outer + "$PrivateOnly")));
        assertEquals("java.lang.NoSuchMethodException: " + outer + "$NotFromInterface has no main method to start" + forms,
                failure(launcherValues(outer + "$NotFromInterface")));
        for (String name : new String[] {"NoConstructor", "PrivateConstructor"}) {
            String main = outer + "$" + name + ".main(" + (name.equals("NoConstructor") ? "" : "String[]") + ")";
            assertEquals("java.lang.NoSuchMethodException: " + outer + "$" + name + " has no non-private constructor "
                    + "without parameters to make the instance for " + main + ": add one, or make main static",
                    failure(launcherValues(outer + "$" + name)));
        }
        assertEquals("java.lang.InstantiationException: " + outer + "$Abstract is abstract, so its instance method "
                + outer + "$Abstract.main() has no instance to run on: make main static, or start a subclass",
                failure(launcherValues(outer + "$Abstract")));
        ran = null;
        assertEquals("java.lang.IllegalStateException: from the constructor",
                failure(launcherValues(outer + "$ConstructorThrows")));
        assertEquals(null, ran);
        // The application's own exception, not the reflection around it.
        assertEquals("java.io.IOException: from main", failure(launcherValues(outer + "$Throws")));
        assertEquals("java.lang.IllegalArgumentException: the launcher class needs 6 leading values (GUI flag, "
                + "main class, two output files, flag, launcher name); got 5",
                failure("true", App.class.getName(), "", "", "false"));
    }
}
