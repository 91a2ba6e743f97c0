package kvotest;

import com.korvo.runtime.Report;

/** Writes a line to each output stream and notes what the launcher class
 * made of the launcher's leading values. */
public class Prints {
    public static void main(String[] args) {
        System.out.println("out " + args[0]);
        System.err.println("err " + args[0]);
        String[] names = {"korvo.guiApplication", "korvo.outputFile1", "korvo.outputFile2"};
        for (int i = 0; i < names.length; i++)
            Report.line("property", names[i] + "\t" + System.getProperty(names[i]));
    }
}
