package kvotest;

import com.korvo.runtime.Report;

/** Main classes of the forms java of Java 25 starts, and one it refuses;
 * each notes which of its methods ran, with the arguments. */
public class Mains {
    static void ran(String form, String[] args) {
        StringBuilder b = new StringBuilder(form);
        for (int i = 0; args != null && i < args.length; i++)
            b.append(i == 0 ? "\t" : "|").append(args[i]);
        Report.line("ran", b.toString());
    }

    public static class StaticNone { static void main() { ran("static main()", null); } }

    public static class InstanceArgs {
        void main(String[] args) { ran("main(String[]) of " + getClass().getSimpleName(), args); }
    }

    /** Public, not static: some VMs' JNI would hand it out as a static method. */
    public static class PublicInstance {
        public void main(String[] args) { ran("main(String[]) of PublicInstance", args); }
    }

    public static class InstanceNone { protected void main() { ran("main()", null); } }

    static class PackageStatic { static void main(String[] args) { ran("static main(String[])", args); } }

    public static class StaticBeforeInstance {
        static void main(String[] args) { ran("static main(String[])", args); }
        void main() { ran("main()", null); }
    }

    /** The argument array decides before static does. */
    public static class ArrayBeforeStatic {
        static void main() { ran("static main()", null); }
        void main(String[] args) { ran("main(String[])", args); }
    }

    public static class Inherited extends InstanceArgs {}

    public static class PublicStatic {
        public static void main(String[] args) { ran("public static main(String[]) of PublicStatic", args); }
    }

    /** java calls a superclass's public static main for its subclass. */
    public static class InheritedStatic extends PublicStatic {}

    /** An interface's static main starts the interface; it is no member
     * of a class that implements it, which java refuses. */
    public interface InterfaceStatic {
        static void main(String[] args) { ran("static main(String[]) of InterfaceStatic", args); }
    }

    public static class FromInterface implements InterfaceStatic {}

    public static class PrivateOnly { private static void main(String[] args) { ran("private main(String[])", args); } }
}
