package com.korvo.runtime;

import java.io.FileOutputStream;

/** The launcher class of the start-up benchmark: notes how many
 * milliseconds after its process was created its main was entered, in the
 * file KVO_BENCH_OUT names, and returns. The bare loader and the launcher
 * both call it, so the figure is the same point for both. */
public class WinLauncher {
    static native double processCreatedMillis();

    public static void main(String[] args) throws Exception {
        long entered = System.currentTimeMillis();
        System.load(System.getenv("KVO_BENCH_CLOCK"));
        double since = entered - processCreatedMillis();
        FileOutputStream out = new FileOutputStream(System.getenv("KVO_BENCH_OUT"));
        out.write((since + "\n").getBytes("UTF-8"));
        out.close();
    }
}
