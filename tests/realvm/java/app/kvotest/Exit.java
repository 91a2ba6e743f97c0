package kvotest;

import com.korvo.runtime.Report;

public class Exit {
    public static void main(String[] args) {
        Report.line("exit", args[0]);
        System.exit(Integer.parseInt(args[0]));
    }
}
