// Recovery of an install run that died: the setup and the uninstall program
// call it when they start. A journal file in the Windows folder that no live
// run holds belongs to a run that was killed or crashed (or lost its power)
// before it ended either way: it is replayed backwards, which puts the
// machine back as it was before that run, and then deleted.
#pragma once

#include <string>

namespace vx {

enum class RecoveryOutcome {
  NoJournal,  // nothing to recover
  RunAlive,   // a run holds its journal: it is going on, and is left alone
  Undone,     // an abandoned run was undone
  Failed,     // the journal could not be read or replaced; it stays
};

// Looks for the journal of an abandoned run in windowsFolder and undoes
// that run; what it did goes to the run log.
RecoveryOutcome RecoverAbandonedRun(const std::string& windowsFolder);

}  // namespace vx
