package com.vandrel.runtime.launcher;

/**
 * The launcher class of the installer flavour; it behaves exactly as
 * {@link com.korvo.runtime.WinLauncher}.
 */
public final class WinLauncher {
    private WinLauncher() {}

    /**
     * See {@link com.korvo.runtime.WinLauncher#main(String[])}.
     *
     * @param args the launcher's values, then the application's arguments
     * @throws Throwable what the application's main threw, or why it could
     *     not be called
     */
    public static void main(String[] args) throws Throwable {
        com.korvo.runtime.WinLauncher.main(args);
    }
}
