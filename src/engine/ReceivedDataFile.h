// CReceivedDataFile: naming, opening and copying the received-data file
// (the engine's rxDataFile), which the data reader appends to.
//
// Name: "<program folder>/Output/RxData.bin"; when another instance holds
// that file (its not-shared open fails), "<program folder>/Output/
// RxData-pid<PID in hex>.bin".
//
// Copy ("Save As"): taken while the reader goes on appending. The reader's
// pending batch is written first, then the copy reads through ReadAt (its own
// offsets: the shared position, and so the reader's appends, are untouched)
// up to the size the file had when the copy began. The copy is therefore a
// prefix of the file as it ends up, holding every byte delivered before the
// copy began, and it ends even when the stream outruns it.
//
// Thread safety: any thread; the window's thread in the program.
#pragma once

#include <string>

class CTransferEngine;

class CReceivedDataFile {
 public:
  static constexpr unsigned kCopyBlock = 32768;

  // Makes the Output folder, chooses the name (above) and opens the engine's
  // rxDataFile on it (created empty). 1 with the name in *name, else 0.
  static int Open(CTransferEngine& engine, std::string* name);
  // Copies the file into dest (created or replaced, not shared). 1 when the
  // whole copy was written; 0 when dest cannot be created, no received-data
  // file is open or an I/O failed (a partial dest is removed), with the
  // reason in *reason when given.
  static int SaveCopy(CTransferEngine& engine, const std::string& dest,
                      std::string* reason = nullptr);
};
