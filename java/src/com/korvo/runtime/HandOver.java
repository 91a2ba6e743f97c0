package com.korvo.runtime;

import java.io.File;
import java.io.FileInputStream;
import java.io.IOException;
import java.util.ArrayList;
import java.util.LinkedList;
import java.util.List;

/**
 * The running instance's side of single-instance mode. A second start writes
 * its arguments into the file that {@code korvo.processCommFile} names and
 * waits (at most ten seconds) until that file is gone; this takes the file
 * without native code, so a second start ends at once whether or not the
 * application listens.
 */
final class HandOver implements Runnable {
    static final int KEPT = 64;
    /** How often the file is looked for: a second start waits about this long. */
    static final int POLL_MILLIS = 100;
    /** The launcher writes at most 32 KiB; anything far larger is not its file. */
    static final int LARGEST_FILE = 1 << 20;
    /** A file that never gets its line feed is taken as it is after this. */
    static final long UNFINISHED_MILLIS = 2000;

    private static final HandOver shared = new HandOver();

    private final Object lock = new Object();
    private final List<StartupListener> listeners = new ArrayList<StartupListener>();
    private final LinkedList<String[]> waiting = new LinkedList<String[]>();
    private int dropped;
    private File file;
    private Thread watcher;
    // The unfinished content seen last: its length and since when.
    private int unfinishedLength = -1;
    private long unfinishedSince;
    private boolean deleteFailureSaid;

    static void start() {
        shared.watch(System.getProperty("korvo.processCommFile"));
    }

    static void addListener(StartupListener listener) {
        shared.add(listener);
        start();
    }

    static void removeListener(StartupListener listener) {
        shared.remove(listener);
    }

    /** Starts the watching thread once, when there is a file to watch. */
    void watch(String path) {
        if (path == null || path.length() == 0)
            return;
        synchronized (lock) {
            if (watcher != null)
                return;
            file = new File(path);
            watcher = new Thread(this, "korvo single instance");
            watcher.setDaemon(true);
            watcher.start();
        }
    }

    void add(StartupListener listener) {
        if (listener == null)
            throw new NullPointerException("listener");
        synchronized (lock) {
            listeners.add(listener);
            lock.notifyAll();
        }
    }

    void remove(StartupListener listener) {
        synchronized (lock) {
            for (int i = 0; i < listeners.size(); i++)
                if (listeners.get(i) == listener) {
                    listeners.remove(i);
                    return;
                }
        }
    }

    public void run() {
        for (;;) {
            try {
                String[] arguments = take(file, System.currentTimeMillis());
                if (arguments != null)
                    arrive(arguments);
                deliver();
                synchronized (lock) {
                    if (waiting.isEmpty() || listeners.isEmpty())
                        lock.wait(POLL_MILLIS);
                }
            } catch (InterruptedException e) {
                // Nothing asks this thread to end; it ends with the JVM.
            } catch (RuntimeException e) {
                complain("single instance: " + e);
                pause();
            }
        }
    }

    /**
     * One look at the file: the arguments it holds once the writer has
     * finished and the file has been deleted (so that they are never handed
     * over twice); null otherwise.
     */
    String[] take(File file, long now) {
        if (!file.exists()) {
            unfinishedLength = -1;
            return null;
        }
        byte[] bytes = new byte[4096];
        int length = 0;
        FileInputStream in;
        try {
            // Fails while the writer still holds the file.
            in = new FileInputStream(file);
        } catch (IOException e) {
            return null;
        }
        try {
            for (int n; (n = in.read(bytes, length, bytes.length - length)) > 0;) {
                length += n;
                if (length > LARGEST_FILE)
                    break;
                if (length == bytes.length) {
                    byte[] larger = new byte[Math.min(bytes.length * 2, LARGEST_FILE + 1)];
                    System.arraycopy(bytes, 0, larger, 0, length);
                    bytes = larger;
                }
            }
        } catch (IOException e) {
            return null;
        } finally {
            try {
                in.close();
            } catch (IOException e) {
                // Read already; nothing to keep.
            }
        }
        if (length > LARGEST_FILE) {
            if (file.delete())
                complain("the communication file " + file + " held more than " + LARGEST_FILE
                        + " bytes; no launcher writes that much: it was deleted unread");
            return null;
        }
        if (!CommFile.complete(bytes, length)) {
            if (length != unfinishedLength) {
                unfinishedLength = length;
                unfinishedSince = now;
                return null;
            }
            if (now - unfinishedSince < UNFINISHED_MILLIS)
                return null;
        }
        if (!file.delete()) {
            if (!deleteFailureSaid)
                complain("the communication file " + file + " cannot be deleted; it is taken once it can");
            deleteFailureSaid = true;
            return null;
        }
        unfinishedLength = -1;
        deleteFailureSaid = false;
        return CommFile.arguments(CommFile.decode(bytes, length));
    }

    /** Keeps a start's arguments for the listeners; the oldest go first when too many wait. */
    void arrive(String[] arguments) {
        synchronized (lock) {
            waiting.addLast(arguments);
            while (waiting.size() > KEPT) {
                waiting.removeFirst();
                dropped++;
            }
        }
    }

    /** Hands every waiting start to the listeners, in order, on this thread. */
    void deliver() {
        for (;;) {
            String[] arguments;
            StartupListener[] now;
            int lost;
            synchronized (lock) {
                if (listeners.isEmpty() || waiting.isEmpty())
                    return;
                arguments = waiting.removeFirst();
                now = listeners.toArray(new StartupListener[listeners.size()]);
                lost = dropped;
                dropped = 0;
            }
            if (lost > 0)
                complain("the arguments of " + lost + " earlier starts were dropped: no listener was added"
                        + " and only the last " + KEPT + " are kept");
            for (int i = 0; i < now.length; i++) {
                try {
                    // Each listener gets its own copy to change as it likes.
                    now[i].startup(arguments.clone());
                } catch (Throwable t) {
                    complain("a startup listener failed: " + t);
                    t.printStackTrace();
                }
            }
        }
    }

    int waitingCount() {
        synchronized (lock) {
            return waiting.size();
        }
    }

    private static void complain(String text) {
        System.err.println("kvo-runtime: " + text);
    }

    private static void pause() {
        try {
            Thread.sleep(POLL_MILLIS);
        } catch (InterruptedException e) {
            // The loop goes on either way.
        }
    }
}
