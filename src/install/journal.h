// The journal of one install run: what the run made and changed, in the
// order it happened. The install run records each thing before it does it;
// the install log is written from its lists; a rollback undoes what it holds.
// The journal belongs to whoever starts the runs (the wizard's install
// session), outlives every worker, and is handed to the rollback worker as
// the install worker filled it.
//
// On disk as well: once StartOnDisk has made the journal file, every record
// is appended to it and written through before the recording call returns,
// so a run that dies (killed, a crash, a power cut) leaves a journal the next
// start of the setup or the uninstall program replays (install/recovery.h).
// The file lies in the Windows folder, where only administrators write, and
// the run holds it open for writing with no sharing but reading: while it is
// open the run is alive.
//
// Only the worker that runs writes to it, and nobody reads it while a worker
// runs: the rollback worker starts after the install worker has ended.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"
#include "install/prior_state.h"

namespace vx {

// A file that stood where the run writes an item, moved aside (renamed, on
// the same volume) until the run is over.
struct MovedAside {
  std::string original;
  std::string aside;
  bool operator==(const MovedAside&) const = default;
};

class InstallJournal {
 public:
  InstallJournal() = default;
  InstallJournal(const InstallJournal&) = delete;
  InstallJournal& operator=(const InstallJournal&) = delete;
  InstallJournal(InstallJournal&&) = default;
  InstallJournal& operator=(InstallJournal&&) = default;

  // ---- the journal file
  // Makes the journal file at path (it must not exist) and writes the run's
  // first record, naming the install folder. False when it cannot be made or
  // written: the run must not change anything then.
  bool StartOnDisk(const std::string& path, const std::string& installFolder);
  // The run is over, either way: the journal file is deleted (through the
  // handle that wrote it) and closed. Nothing when there is none.
  void EndOnDisk();

  // ---- what the install run records, each before it happens; false when
  // the record could not be written through to the journal file (the step
  // must not be taken then). Without a journal file they only remember.
  // A folder the run is about to make (the levels above the install folder
  // and the install folder first, when they had to be made, then each item
  // folder level, highest first).
  bool FolderMade(const std::string& folder);
  // A file the run is about to write, listed before its bytes go out, so a
  // file whose writing failed is removed too.
  bool FileWritten(const std::string& file);
  // The file last recorded by FileWritten was not made after all: something
  // not the run's stood at its name. It is no longer the run's to remove.
  bool FileNotMade(const std::string& file);
  // A file the run lists for the install log (and so for the uninstall
  // program) but does not write itself: a rollback leaves it alone.
  bool FileListed(const std::string& file);
  // An existing file the run is about to move aside before it writes there.
  bool FileMovedAside(const std::string& original, const std::string& aside);
  // A file the run is about to create outside the install folder, where none
  // was before (the uninstall program's copy).
  bool FilePlaced(const std::string& file);
  // The product's keys as they stood before the run's first registry write;
  // only the first capture counts.
  bool KeysCaptured(std::vector<KeyState> keys);
  bool KeysWereCaptured() const { return prior_.keysCaptured; }

  // ---- what was recorded
  const std::string& InstallFolder() const { return installFolder_; }
  const std::vector<std::string>& Folders() const { return FolderList; }
  const std::vector<std::string>& Files() const { return FileList; }
  const std::vector<MovedAside>& Asides() const { return asides_; }
  // The entries of Files() that the run did not write.
  const std::vector<std::string>& ListedOnly() const { return listedOnly_; }
  const PriorState& Prior() const { return prior_; }
  // Forgets everything (a new wizard, or its end); a journal file is ended.
  void Clear();

  // ---- reading a journal file back
  // The journal the text of a journal file holds, up to its last whole
  // record (a record torn by the end of its run, and everything after it,
  // are ignored). wholeRecords: how many records were read.
  static InstallJournal Parse(std::string_view text, size_t* wholeRecords = nullptr);

 private:
  // How a record reaches the disk before its step is taken.
  enum class Durability {
    // Written through: it survives a power cut. For every step that changes
    // or moves what was there before.
    Flushed,
    // Written into the file, flushed with the next flushed record: it
    // survives the end of the process (a kill, a crash), which leaves the
    // system's cache to be written out. For making a folder or file where
    // none was: a power cut can at worst leave such a new one unnamed.
    Written,
  };
  // Appends one record (its fields) to the journal file.
  bool Write(const std::vector<std::string>& fields,
             Durability durability = Durability::Flushed);

  std::string installFolder_;
  // In the order made; the install log lists them under these names.
  std::vector<std::string> FolderList;
  std::vector<std::string> FileList;
  std::vector<MovedAside> asides_;
  std::vector<std::string> listedOnly_;
  PriorState prior_;
  FileHandle file_;
};

// Where the journal file of a run lies: in the Windows folder.
std::string RunJournalIn(const std::string& windowsFolder);

}  // namespace vx
