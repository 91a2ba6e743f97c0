package kvotest;

import com.korvo.runtime.Report;
import java.lang.reflect.Field;

/** What the application may reach of the JDK's modules: for each argument
 * "CLASS.FIELD", whether reflection may open that private field; then
 * whether the boot layer holds java.sql, and the module path the VM was
 * given. */
public class Modules {
    public static void main(String[] args) throws Exception {
        for (String target : args) {
            int dot = target.lastIndexOf('.');
            Field field = Class.forName(target.substring(0, dot)).getDeclaredField(target.substring(dot + 1));
            String state;
            try {
                field.setAccessible(true);
                state = "open";
            } catch (RuntimeException e) {
                state = "closed";
            }
            Report.line("field", target + "\t" + state);
        }
        Report.line("module", "java.sql\t" + ModuleLayer.boot().findModule("java.sql").isPresent());
        Report.line("module-path", String.valueOf(System.getProperty("jdk.module.path")));
    }
}
