package com.korvo.runtime;

/**
 * Receives the arguments of a later start of the same launcher in
 * single-instance mode (see {@link SingleInstance}).
 */
public interface StartupListener {
    /**
     * Called on the runtime's single-instance thread (a daemon), once for
     * every later start, with the arguments that start was given, split as
     * the launcher splits its command line. Return soon: the next start's
     * arguments wait until the listeners are done.
     *
     * @param arguments that start's arguments, without the program's name;
     *     an empty array for a start without any
     */
    void startup(String[] arguments);
}
