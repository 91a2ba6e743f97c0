package com.korvo.runtime;

import java.io.File;
import java.io.FilenameFilter;

/**
 * What the removal of leftovers needs of the file system, through
 * {@code java.io.File}, which every class library has. It cannot tell a link
 * from what the link points to; {@link NioDirectoryView} can, and
 * {@link #best} takes it wherever the class library has {@code java.nio.file}
 * (every Java 7 and later).
 */
class DirectoryView {
    static final int OTHER = 0;
    static final int FILE = 1;
    static final int DIRECTORY = 2;

    interface Visitor {
        /** False: no more names. */
        boolean visit(String name);
    }

    /** Ends a listing early; thrown through the class library's own loop. */
    private static final class Enough extends RuntimeException {
        private static final long serialVersionUID = 1L;

        Enough() {
            super("enough names");
        }
    }

    static DirectoryView best() {
        try {
            return (DirectoryView) Class.forName("com.korvo.runtime.NioDirectoryView").newInstance();
        } catch (Throwable e) {
            // A class library without java.nio.file (the small VM of the tests).
            return new DirectoryView();
        }
    }

    /**
     * Hands the names in {@code directory} to {@code visitor}, at most
     * {@code limit} of them, until it returns false; false when the
     * directory cannot be read.
     */
    boolean each(File directory, final int limit, final Visitor visitor) {
        final Enough enough = new Enough();
        try {
            // Names are handed over as the library reads them: none is kept.
            return directory.list(new FilenameFilter() {
                private int seen;

                public boolean accept(File parent, String name) {
                    if (++seen > limit || !visitor.visit(name))
                        throw enough;
                    return false;
                }
            }) != null;
        } catch (Enough e) {
            if (e != enough)
                throw e;
            return true;
        }
    }

    /** What {@code file} is, a link taken as what it points to. */
    int kind(File file) {
        return file.isDirectory() ? DIRECTORY : file.isFile() ? FILE : OTHER;
    }

    /** Milliseconds since 1970 of the last write; 0 when unknown. */
    long modified(File file) {
        long modified = file.lastModified();
        // The small VM's library gives seconds on Windows. No file a launcher
        // wrote is from the first months of 1970, so such a time is seconds.
        return modified > 0 && modified < System.currentTimeMillis() / 100 ? modified * 1000 : modified;
    }

    /** Bytes of a file; -1 when unknown. */
    long length(File file) {
        return file.exists() ? file.length() : -1;
    }

    /** A file, or a directory that is empty; false when it stays. */
    boolean delete(File file) {
        return file.delete();
    }
}
