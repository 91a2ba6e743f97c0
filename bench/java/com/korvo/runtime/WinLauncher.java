package com.korvo.runtime;

/** The launcher class of the start-up benchmark: the bare loader and the
 * launcher both call it, so its entry is the same point for both. */
public class WinLauncher {
    public static void main(String[] args) throws Exception {
        kvobench.Main.note(System.currentTimeMillis(), System.nanoTime());
    }
}
