package com.korvo.runtime;

import java.io.File;

/**
 * Removes the copies of this runtime that earlier starts left in the
 * temporary folder. Every start extracts kvo-runtime.jar into a directory of
 * its own, which the launcher leaves to the application after a normal end;
 * no application knows of that file, and no run can remove its own copy
 * (its VM holds the jar open), so each start removes those of earlier ones.
 *
 * <p>Only what a launcher made and nobody uses is touched: a directory beside
 * this start's own, named as the launcher names them, holding nothing but the
 * jar, written more than {@link #MARGIN_MILLIS} ago and not held open by a
 * running instance; then the empty file whose name the directory was made
 * from. Links are never followed (where the class library can tell them).
 */
final class TempLeftovers implements Runnable {
    static final String RUNTIME_JAR = "kvo-runtime.jar";
    /**
     * A launcher extracts the jar before it searches for a runtime (which may
     * unpack a packed one first) and creates the VM, and only the VM opens
     * the jar: minutes on a slow machine. An hour also covers a clock set
     * right meanwhile, or a temporary folder on a server whose clock lags;
     * the cost is only that a leftover waits for a later start.
     */
    static final long MARGIN_MILLIS = 60L * 60 * 1000;
    /** Entries of the temporary folder read per start: a folder of 100 000 costs what one of 10 000 does. */
    static final int ENTRIES_READ = 10000;
    /** Directories looked into per start; a larger backlog goes over the next starts. */
    static final int DIRECTORIES_OPENED = 500;

    // Chosen on the removal's own thread when not given: looking for
    // java.nio.file loads classes, which would delay main.
    private DirectoryView view;
    private final File folder;
    private final String own;

    TempLeftovers(DirectoryView view, File ownDirectory) {
        this.view = view;
        this.folder = ownDirectory.getParentFile();
        this.own = ownDirectory.getName();
    }

    /** Starts the removal on a thread of its own, which it returns (null when
     * there is nothing to do); nothing of it reaches the application. */
    static Thread start() {
        try {
            String path = System.getProperty("korvo.tempDir");
            if (path == null || path.length() == 0)
                return null;
            File own = new File(path);
            // A folder the launcher did not make is no hint where its leftovers lie.
            if (own.getParentFile() == null || temporaryFileNameLength(own.getName()) < 0)
                return null;
            Thread thread = new Thread(new TempLeftovers(null, own), "korvo temp clean-up");
            thread.setDaemon(true);
            thread.setPriority(Thread.MIN_PRIORITY);
            thread.start();
            return thread;
        } catch (Throwable e) {
            // Leftovers stay for a later start.
            return null;
        }
    }

    public void run() {
        try {
            if (view == null)
                view = DirectoryView.best();
            removeLeftovers(System.currentTimeMillis());
        } catch (Throwable e) {
            // The application's uncaught-exception handler must never hear of it.
        }
    }

    /** The number of directories removed. */
    int removeLeftovers(final long now) {
        final int[] opened = {0};
        final int[] removed = {0};
        view.each(folder, ENTRIES_READ, new DirectoryView.Visitor() {
            public boolean visit(String name) {
                if (temporaryFileNameLength(name) < 0 || name.equalsIgnoreCase(own))
                    return true;
                if (removeDirectory(name, now))
                    removed[0]++;
                return ++opened[0] < DIRECTORIES_OPENED;
            }
        });
        return removed[0];
    }

    private boolean removeDirectory(String name, long now) {
        File directory = new File(folder, name);
        if (view.kind(directory) != DirectoryView.DIRECTORY)
            return false;
        final String[] inside = new String[2];
        final int[] count = {0};
        boolean read = view.each(directory, inside.length, new DirectoryView.Visitor() {
            public boolean visit(String entry) {
                inside[count[0]++] = entry;
                return true;
            }
        });
        if (!read || count[0] != 1 || !RUNTIME_JAR.equals(inside[0]))
            return false;
        File jar = new File(directory, RUNTIME_JAR);
        // A jar a running instance holds cannot be deleted: its directory stays.
        if (view.kind(jar) != DirectoryView.FILE || !old(view.modified(jar), now) || !view.delete(jar)
                || !view.delete(directory))
            return false;
        int length = temporaryFileNameLength(name);
        if (at(name, length - 4, ".tmp")) {
            File file = new File(folder, name.substring(0, length));
            if (view.kind(file) == DirectoryView.FILE && view.length(file) == 0 && old(view.modified(file), now))
                view.delete(file);
        }
        return true;
    }

    private static boolean old(long modified, long now) {
        return modified > 0 && now - modified > MARGIN_MILLIS;
    }

    /**
     * For the name of a launcher's temporary directory, the length of the
     * temporary file name it was made from; -1 for any other name. The
     * launcher takes "kvo", up to four hexadecimal digits and ".tmp" from the
     * system, or "kvo" and a decimal number of its own when the system gives
     * none, and appends "_dir" and a decimal number (the time, possibly
     * negative). Letter case does not count, as on Windows.
     */
    static int temporaryFileNameLength(String name) {
        int n = name.length();
        if (!at(name, 0, "kvo"))
            return -1;
        int end = 3;
        boolean decimal = true;
        for (char c; end < n && (isDigit(c = name.charAt(end)) || (c | 0x20) >= 'a' && (c | 0x20) <= 'f'); end++)
            decimal &= isDigit(c);
        int digits = end - 3;
        if (digits == 0)
            return -1;
        if (digits <= 4 && at(name, end, ".tmp"))
            end += 4;
        else if (!decimal || digits > 5)
            return -1;
        if (!at(name, end, "_dir"))
            return -1;
        int number = end + 4;
        if (number < n && name.charAt(number) == '-')
            number++;
        int numberDigits = n - number;
        if (numberDigits < 1 || numberDigits > 10)
            return -1;
        for (int i = number; i < n; i++)
            if (!isDigit(name.charAt(i)))
                return -1;
        return end;
    }

    /** {@code part} at {@code offset} of {@code name}, letter case aside. Bounds
     * first: the small VM's library throws where the standard one says false. */
    private static boolean at(String name, int offset, String part) {
        return offset >= 0 && offset + part.length() <= name.length()
                && name.regionMatches(true, offset, part, 0, part.length());
    }

    // ASCII only: the launcher writes its numbers so, whatever digits Unicode knows.
    private static boolean isDigit(char c) {
        return c >= '0' && c <= '9';
    }
}
