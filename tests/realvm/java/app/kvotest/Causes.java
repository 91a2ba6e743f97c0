package kvotest;

/** Ends main with an exception that is hard to tell: by default one whose
 * causes form a cycle (A caused by B caused by A); with "long" one whose
 * text has a letter outside the BMP where a dialog's text is cut. */
public class Causes {
    public static void main(String[] args) {
        if (args.length > 0 && args[0].equals("long")) {
            StringBuilder text = new StringBuilder();
            // toString() puts the class name in front: the pair starts at 1999.
            while (text.length() < 1999 - "java.lang.IllegalStateException: ".length())
                text.append('x');
            throw new IllegalStateException(text + "\uD83D\uDE00 and more");
        }
        IllegalStateException a = new IllegalStateException("A");
        RuntimeException b = new RuntimeException("B", a);
        a.initCause(b);
        throw a;
    }
}
