// Undoing an install run from its journal (install/journal.h), as the
// rollback run does after a cancel or a failure and as a recovery does for a
// run that died; and discarding what a completed run moved aside.
#pragma once

#include <cstddef>
#include <string>

#include "install/journal.h"

namespace vx {

// The name every folder of moved-aside files begins with, and the ending of
// a file moved aside beside itself (outside the install folder).
inline constexpr char kAsideFolderPrefix[] = "~vxsetup-aside-";
// Files moved aside go into numbered folders of this many inside it.
inline constexpr size_t kAsidesPerFolder = 256;
inline constexpr char kAsideSuffix[] = ".vxsetup-aside";

// Puts the machine back as it was before the run: deletes the files the run
// wrote (first to last; a file it only listed stays), brings back the files
// it moved aside (last to first) and removes their folders, removes the
// folders it made when they are empty (last to first), then puts back the
// registry keys and removes the files it placed elsewhere. Deletions go by
// handle, inside the highest folder the run made (or the install folder),
// never through a link. Nothing stops it: what it leaves is traced in the
// run log. Running it twice changes nothing more.
void UndoJournal(const InstallJournal& journal);

// A completed run: the files it moved aside are deleted, and their folders.
void DiscardMovedAside(const InstallJournal& journal);

}  // namespace vx
