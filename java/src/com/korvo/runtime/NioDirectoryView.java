package com.korvo.runtime;

import java.io.File;
import java.io.IOException;
import java.nio.file.DirectoryIteratorException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.BasicFileAttributes;

/**
 * {@link DirectoryView} through {@code java.nio.file}: a link (a junction on
 * Windows too) is seen as a link and never followed, and a folder is read
 * entry by entry, so that the limit also bounds what is read. Made only by
 * name, from {@link DirectoryView#best}: a class library without
 * {@code java.nio.file} never loads it.
 */
final class NioDirectoryView extends DirectoryView {
    // Here, so that a class library without java.nio.file fails when the view
    // is made, not in the middle of a removal.
    private static final LinkOption[] NO_FOLLOW = {LinkOption.NOFOLLOW_LINKS};

    @Override
    boolean each(File directory, int limit, Visitor visitor) {
        DirectoryStream<Path> entries;
        try {
            entries = Files.newDirectoryStream(directory.toPath());
        } catch (IOException e) {
            return false;
        }
        try {
            int seen = 0;
            for (Path entry : entries)
                if (++seen > limit || !visitor.visit(entry.getFileName().toString()))
                    break;
        } catch (DirectoryIteratorException e) {
            // Read as far as it went.
        } finally {
            try {
                entries.close();
            } catch (IOException e) {
                // Nothing was written.
            }
        }
        return true;
    }

    private static BasicFileAttributes attributes(File file) {
        try {
            return Files.readAttributes(file.toPath(), BasicFileAttributes.class, NO_FOLLOW);
        } catch (IOException e) {
            return null;
        }
    }

    @Override
    int kind(File file) {
        BasicFileAttributes a = attributes(file);
        // A junction is a directory and "other" at once: not ours to enter.
        if (a == null || a.isSymbolicLink() || a.isOther())
            return OTHER;
        return a.isDirectory() ? DIRECTORY : a.isRegularFile() ? FILE : OTHER;
    }

    @Override
    long modified(File file) {
        BasicFileAttributes a = attributes(file);
        return a == null ? 0 : a.lastModifiedTime().toMillis();
    }

    @Override
    long length(File file) {
        BasicFileAttributes a = attributes(file);
        return a == null ? -1 : a.size();
    }

    @Override
    boolean delete(File file) {
        try {
            Files.delete(file.toPath());
            return true;
        } catch (IOException e) {
            return false;
        }
    }
}
