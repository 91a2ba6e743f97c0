// What the launcher remembers, per user and launcher, of its own check of
// an application's main: that main(String[]) of the class was public
// static, as long as everything it could be loaded from is unchanged. On a
// VM that interprets, the check (reflection's Method class, read and
// parsed) costs a start more than anything else the launcher does once the
// VM exists; its answer changes only with the application's files.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

// What the file system says of one class path entry.
struct EntryStamp {
    enum Kind { missing, file, other };
    Kind kind = missing;
    uint64_t size = 0;
    uint64_t lastWrite = 0;  // in the platform's own units
};
using EntryStamper = EntryStamp (*)(const std::string& entry);

// The text a check is remembered under: the class, the options that decide
// where classes come from (the class path the VM takes, the last one given,
// and every option that is not a plain -D property), the options the VM
// reads from the environment, and each class path archive's size and
// last-write time. Empty when the files cannot vouch for the class: a
// folder or a wildcard on the class path, whose classes change while its
// own stamp need not, or a class path too long to be worth keeping. What it
// does not see: an archive named only by another's manifest (Class-Path).
std::string mainCheckFingerprint(std::string_view slashedMainClass, const std::deque<std::string>& vmOptions,
                                 std::string_view environmentOptions, EntryStamper stamp);

// The registry side (HKEY_CURRENT_USER, one value per launcher file).
// Failures count as nothing remembered; the next start checks again.
EntryStamp stampOfEntry(const std::string& entry);
bool mainCheckRemembered(const std::string& fingerprint);
void rememberMainCheck(const std::string& fingerprint);
