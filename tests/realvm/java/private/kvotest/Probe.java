package kvotest;

/** kvotest.Probe as a later build of an application might have it: its
 * main made private, which java refuses. */
public class Probe {
    private static void main(String[] args) {
        com.korvo.runtime.Report.line("ran", "private main");
    }
}
