package kvotest;

import com.korvo.runtime.Report;
import java.io.InputStream;

/** Notes what the application sees: its arguments, the properties named in
 * kvotest.properties (comma-separated), the classes named in
 * kvotest.classes, the resources named in kvotest.resources and, with
 * kvotest.loaders=true, whether its class, its thread's context loader and
 * the launcher's Java half are of the system class loader, as under java. Then, as an application that
 * runs a while: with kvotest.waitFor it waits (at most a minute) until that
 * file exists, with kvotest.waitGone until that file is gone. */
public class Probe {
    public static void main(String[] args) throws Exception {
        Report.line("args", String.valueOf(args.length));
        for (int i = 0; i < args.length; i++)
            Report.line("arg", i + "\t" + args[i]);
        for (String name : list("kvotest.properties"))
            Report.line("property", name + "\t" + System.getProperty(name));
        for (String name : list("kvotest.classes")) {
            String found;
            try {
                Class.forName(name);
                found = "loaded";
            } catch (ClassNotFoundException e) {
                found = "missing";
            }
            Report.line("class", name + "\t" + found);
        }
        for (String name : list("kvotest.resources")) {
            InputStream in = Probe.class.getResourceAsStream(name);
            Report.line("resource", name + "\t" + (in == null ? "<missing>" : read(in)));
        }
        if (Boolean.getBoolean("kvotest.loaders")) {
            ClassLoader system = ClassLoader.getSystemClassLoader();
            Report.line("loader", "main class\t" + (Probe.class.getClassLoader() == system));
            Report.line("loader", "context\t" + (Thread.currentThread().getContextClassLoader() == system));
            // The launcher's Java half, as the application resolves it.
            String half;
            try {
                half = String.valueOf(Class.forName("com.korvo.runtime.Splash", false,
                        Probe.class.getClassLoader()).getClassLoader() == system);
            } catch (ClassNotFoundException e) {
                half = "missing";
            }
            Report.line("loader", "java half\t" + half);
        }
        String file = System.getProperty("kvotest.waitFor");
        for (long end = System.currentTimeMillis() + 60000; file != null && !new java.io.File(file).exists()
                && System.currentTimeMillis() < end;)
            Thread.sleep(50);
        String gone = System.getProperty("kvotest.waitGone");
        for (long end = System.currentTimeMillis() + 60000; gone != null && new java.io.File(gone).exists()
                && System.currentTimeMillis() < end;)
            Thread.sleep(50);
        if (gone != null)
            Thread.sleep(1000); // as an application that runs a while
    }

    static String[] list(String property) {
        String value = System.getProperty(property);
        return value == null || value.length() == 0 ? new String[0] : value.split(",");
    }

    static String read(InputStream in) throws Exception {
        StringBuilder b = new StringBuilder();
        for (int c; (c = in.read()) >= 0;)
            b.append((char) c);
        in.close();
        return b.toString();
    }
}
