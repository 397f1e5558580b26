// Merging what one run saves into the settings file as other runs, which
// share the file, left it meanwhile. Each run loaded the file at its start
// (its base) and ends with its own lists and values (ours); the file now
// holds theirs. The merge keeps what both did:
//  - a history: the entries this run put on top (new ones, and old ones
//    chosen again) come first, in this run's order; then the file's entries
//    as they are now, less those and less the ones this run removed (an
//    entry of the base that is no longer in ours); at most `max` entries.
//    Entries match ignoring ASCII letter case, as the histories do.
//  - a setting (CSettingsStore does this one): this run's value when it
//    changed it (ours differs from the base), else the file's value, so
//    that a run that only read a setting does not undo another run's change.
//
// Threading: pure function.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Lists most recent first.
std::vector<std::string> MergeHistory(const std::vector<std::string>& base,
                                      const std::vector<std::string>& ours,
                                      const std::vector<std::string>& theirs, std::size_t max);
