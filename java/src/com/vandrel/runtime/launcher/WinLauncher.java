package com.vandrel.runtime.launcher;

/**
 * The launcher class of the installer flavour; it behaves exactly as
 * {@link com.korvo.runtime.WinLauncher}.
 */
public final class WinLauncher {
    private WinLauncher() {}

    public static void main(String[] args) throws Throwable {
        com.korvo.runtime.WinLauncher.main(args);
    }
}
