#include "settings/SettingsMerge.h"

#include <algorithm>

#include "history/FileHistory.h"  // HistoryTextEquals

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& text) {
  return std::any_of(list.begin(), list.end(),
                     [&text](const std::string& e) { return HistoryTextEquals(e, text); });
}

// How many entries at the top of `ours` this run put there: the rest of
// `ours` is still in the base's order (a subsequence of it), so it stands as
// loaded, less what was removed.
std::size_t TouchedCount(const std::vector<std::string>& base,
                         const std::vector<std::string>& ours) {
  std::size_t limit = base.size();  // matches are searched in base[0, limit)
  std::size_t i = ours.size();
  while (i > 0) {
    std::size_t p = limit;
    while (p > 0 && !HistoryTextEquals(base[p - 1], ours[i - 1]))
      --p;
    if (p == 0)
      break;
    limit = p - 1;
    --i;
  }
  return i;
}

}  // namespace

std::vector<std::string> MergeHistory(const std::vector<std::string>& base,
                                      const std::vector<std::string>& ours,
                                      const std::vector<std::string>& theirs, std::size_t max) {
  const std::size_t touched = TouchedCount(base, ours);
  std::vector<std::string> merged(ours.begin(), ours.begin() + static_cast<long>(touched));
  for (const std::string& entry : theirs) {
    const bool removedHere = Contains(base, entry) && !Contains(ours, entry);
    if (!removedHere && !Contains(merged, entry))
      merged.push_back(entry);
  }
  if (merged.size() > max)
    merged.resize(max);
  return merged;
}
