package com.korvo.runtime;

/** A launcher class without main. */
public class WinLauncher {
    public static void start(String[] args) {}
}
