// Replacing a file whole: the new contents go to a temporary file in the same
// folder ("<path>.tmp-<pid>"), which is flushed to disk (fsync) and renamed
// over `path`; the folder is then flushed too. A process killed at any point
// leaves either the previous file or the new one, never a part of either.
// The temporary file a killed process left is removed by the next write to
// `path` once that process no longer runs.
//
// The folder of `path` is created when missing (with its parents).
//
// Threading: no shared state, except the test hook below, which is meant to
// be set by a test before the write and cleared after it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

// Called after the temporary file is complete and flushed, just before the
// rename. Returning false makes the write fail there: the temporary file is
// removed and `path` keeps its previous contents. A test hook; null (the
// default) means no hook.
using CAtomicWriteHook = std::function<bool(const std::string& tempPath)>;

// 1 when `path` holds `data` afterwards, 0 on any failure (last error and
// errno set; `path` unchanged). The new file gets the permission bits
// `mode`, whatever the umask.
int WriteFileAtomically(const std::string& path, const std::string& data,
                        const CAtomicWriteHook& beforeRename = nullptr, mode_t mode = 0600);
