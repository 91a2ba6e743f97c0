// A benchmark mode, off in a normal start: where the time of a start goes,
// step by step, without time stamps in the log. With the environment
// variable KORVO_STEP_TIMES naming a file, every log line's format and every
// step noted here is kept in memory with the milliseconds since the process
// began, and the list is written to that file when the process ends
// (normally, or through exit). Writing only at the end keeps the file's cost
// out of the figures; a normal start reads the variable once and pays a
// test of a flag per log line.
#pragma once

// Reads the variable; `clock` gives the milliseconds since the process
// began. Call once, first thing, before other threads exist.
void beginStepTimes(double (*clock)());
// `label` must outlive the process's end (a literal, a log line's format).
// Safe from any thread; notes past the first few hundred are dropped.
void noteStep(const char* label);
// Writes what was noted (beginStepTimes arranges for this at exit).
void writeStepTimes();
