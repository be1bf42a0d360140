// The run's journal on disk: what it writes reads back as it was recorded, a
// torn or damaged end is cut off at the last whole record, a live run's
// journal is left alone, and a dead run's is replayed and removed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/files.h"
#include "common/handles.h"
#include "common/registry.h"
#include "fixtures.h"
#include "install/journal.h"
#include "install/recovery.h"
#include "install/rollback.h"
#include "worker_fixtures.h"

namespace vx::test {
namespace {

// A REG_SZ value's text, or nothing when it cannot be read.
std::optional<std::string> ReadRegistryString(const std::string& key, const std::string& name) {
  RegistryAccess registry(HKEY_LOCAL_MACHINE, KEY_READ);
  DWORD type = REG_NONE;
  std::string data;
  if (registry.OpenKey(key, false) != ERROR_SUCCESS ||
      registry.ReadValue(name, type, data) != ERROR_SUCCESS || type != REG_SZ) {
    return std::nullopt;
  }
  return data.substr(0, data.find('\0'));
}

// The names of what a folder holds directly, sorted.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry{};
  FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &entry));
  if (!search) return names;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search.get(), &entry));
  std::sort(names.begin(), names.end());
  return names;
}

class JournalTest : public RegistryAndFilesTest {
 protected:
  // Read while the run holds it, sharing everything.
  std::string JournalText() {
    FileHandle file(CreateFileA(RunJournalIn(scratch_.path()).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    std::string text(1 << 16, '\0');
    DWORD read = 0;
    EXPECT_TRUE(file && ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read,
                                 nullptr));
    text.resize(read);
    return text;
  }
};

// A key as the capture holds it, with a subkey and value bytes that the
// journal has to escape.
KeyState SampleKey() {
  KeyState key;
  key.root = HKEY_LOCAL_MACHINE;
  key.path = "SOFTWARE\\Vantorex\\Tab\there";
  key.existed = true;
  key.values = {{"", REG_SZ, std::string("old\0", 4)},
                {"100%\r\nsure", REG_BINARY, std::string("\x00\t\n%\xff", 5)}};
  KeyState subkey;
  subkey.root = HKEY_LOCAL_MACHINE;
  subkey.path = key.path + "\\Sub";
  subkey.existed = true;
  subkey.readable = false;
  key.subkeys = {subkey};
  return key;
}

void ExpectSameKeys(const std::vector<KeyState>& read, const std::vector<KeyState>& written) {
  ASSERT_EQ(read.size(), written.size());
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].root, written[i].root);
    EXPECT_EQ(read[i].path, written[i].path);
    EXPECT_EQ(read[i].existed, written[i].existed);
    EXPECT_EQ(read[i].readable, written[i].readable);
    EXPECT_EQ(read[i].values, written[i].values);
    ExpectSameKeys(read[i].subkeys, written[i].subkeys);
  }
}

TEST_F(JournalTest, WhatIsRecordedReadsBackAndATornEndIsCutAtTheLastWholeRecord) {
  InstallJournal journal;
  ASSERT_TRUE(journal.StartOnDisk(RunJournalIn(scratch_.path()), "C:\\Tools\\VX"));
  EXPECT_FALSE(InstallJournal().StartOnDisk(RunJournalIn(scratch_.path()), "C:\\Other"))
      << "a journal that is there already is never taken over";
  ASSERT_TRUE(journal.FolderMade("C:\\Tools"));
  ASSERT_TRUE(journal.FolderMade("C:\\Tools\\VX"));
  ASSERT_TRUE(journal.FileWritten("C:\\Tools\\VX\\a\tb.txt"));
  // Something not the run's stood at d.txt: not the run's to remove.
  ASSERT_TRUE(journal.FileWritten("C:\\Tools\\VX\\d.txt"));
  ASSERT_TRUE(journal.FileNotMade("C:\\Tools\\VX\\d.txt"));
  ASSERT_TRUE(journal.FileMovedAside("C:\\Tools\\VX\\c.dll", "C:\\Tools\\VX\\~aside\\0"));
  ASSERT_TRUE(journal.FileListed("C:\\Tools\\VX\\reopen.ini"));
  KeyState missing;  // a key that was not there
  missing.root = HKEY_CLASSES_ROOT;
  missing.path = ".vx5";
  ASSERT_TRUE(journal.KeysCaptured({SampleKey(), missing}));
  ASSERT_TRUE(journal.FilePlaced("C:\\Windows\\uninstallvxlite.exe"));

  const std::string text = JournalText();
  size_t records = 0;
  const InstallJournal read = InstallJournal::Parse(text, &records);
  EXPECT_EQ(records, 15u);
  EXPECT_EQ(read.InstallFolder(), "C:\\Tools\\VX");
  EXPECT_EQ(std::count(read.Files().begin(), read.Files().end(), "C:\\Tools\\VX\\d.txt"), 0);
  EXPECT_EQ(read.Folders(), journal.Folders());
  EXPECT_EQ(read.Files(), journal.Files());
  EXPECT_EQ(read.ListedOnly(), journal.ListedOnly());
  EXPECT_EQ(read.Asides(), journal.Asides());
  EXPECT_EQ(read.Prior().placedFiles, journal.Prior().placedFiles);
  EXPECT_TRUE(read.Prior().keysCaptured);
  ExpectSameKeys(read.Prior().keys, journal.Prior().keys);

  // Cut anywhere inside the last record: that record is gone, the rest stays.
  const size_t lastStart = text.rfind('\n', text.size() - 2) + 1;
  for (size_t cut = lastStart; cut < text.size(); ++cut) {
    const InstallJournal torn = InstallJournal::Parse(text.substr(0, cut), &records);
    EXPECT_EQ(records, 14u) << cut;
    EXPECT_TRUE(torn.Prior().placedFiles.empty()) << cut;
    EXPECT_TRUE(torn.Prior().keysCaptured) << cut;
  }
  // A capture cut before its end counts as none; a damaged byte ends the
  // reading at its record.
  const size_t keysEnd = text.find("keys-end");
  EXPECT_FALSE(InstallJournal::Parse(text.substr(0, keysEnd)).Prior().keysCaptured);
  std::string damaged = text;
  damaged[text.find("b.txt")] = 'X';
  const InstallJournal upToDamage = InstallJournal::Parse(damaged, &records);
  EXPECT_EQ(records, 3u);
  EXPECT_TRUE(upToDamage.Files().empty());

  journal.EndOnDisk();
  EXPECT_FALSE(FileExists(RunJournalIn(scratch_.path())));
}

TEST_F(JournalTest, ALiveRunIsLeftAloneAndADeadOneIsUndoneAtTheNextStart) {
  const std::string install = scratch_ / "Tools\\VX";
  const std::string userFile = install + "\\c.dll";
  const std::string otherUserFile = install + "\\d.dll";
  {
    InstallJournal alive;
    ASSERT_TRUE(alive.StartOnDisk(RunJournalIn(scratch_.path()), install));
    EXPECT_EQ(RecoverAbandonedRun(scratch_.path()), RecoveryOutcome::RunAlive);
    EXPECT_TRUE(FileExists(RunJournalIn(scratch_.path())));
    alive.EndOnDisk();
  }
  EXPECT_EQ(RecoverAbandonedRun(scratch_.path()), RecoveryOutcome::NoJournal);

  // The user's files in an install folder that exists; the run makes a
  // subfolder, writes over the user's files (moved aside first), writes a
  // new one and changes a key, then dies: its journal stays behind.
  ASSERT_TRUE(CreateFolderPath(install).value_or(false));
  ASSERT_TRUE(WriteFileBytes(userFile, "the user's"));
  ASSERT_TRUE(WriteFileBytes(otherUserFile, "the user's other"));
  ASSERT_TRUE(WriteRegistryString("SOFTWARE\\VantorexTest", "kept", "before"));
  {
    InstallJournal dying;
    ASSERT_TRUE(dying.StartOnDisk(RunJournalIn(scratch_.path()), install));
    ASSERT_TRUE(dying.FolderMade(install + "\\Skins"));
    ASSERT_TRUE(CreateDirectoryA((install + "\\Skins").c_str(), nullptr));
    std::string asideFolder;
    FileHandle hold(CreateHeldPrivateFolder(install, kAsideFolderPrefix, &asideFolder));
    ASSERT_TRUE(hold);
    // As an earlier version moved files aside, and as this one does: into
    // numbered folders inside the aside folder.
    ASSERT_TRUE(dying.FileMovedAside(userFile, asideFolder + "\\0"));
    ASSERT_TRUE(MoveFileExA(userFile.c_str(), (asideFolder + "\\0").c_str(), 0));
    ASSERT_TRUE(dying.FileWritten(userFile));
    ASSERT_TRUE(WriteFileBytes(userFile, "the package's"));
    ASSERT_TRUE(CreateDirectoryA((asideFolder + "\\1").c_str(), nullptr));
    ASSERT_TRUE(dying.FileMovedAside(otherUserFile, asideFolder + "\\1\\256"));
    ASSERT_TRUE(MoveFileExA(otherUserFile.c_str(), (asideFolder + "\\1\\256").c_str(), 0));
    ASSERT_TRUE(dying.FileWritten(otherUserFile));
    ASSERT_TRUE(WriteFileBytes(otherUserFile, "the package's"));
    ASSERT_TRUE(dying.FileWritten(install + "\\Skins\\new.skn"));
    ASSERT_TRUE(WriteFileBytes(install + "\\Skins\\new.skn", "new"));
    ASSERT_TRUE(dying.KeysCaptured({CaptureKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\VantorexTest")}));
    ASSERT_TRUE(WriteRegistryString("SOFTWARE\\VantorexTest", "kept", "changed"));
    ASSERT_TRUE(WriteRegistryString("SOFTWARE\\VantorexTest", "added", "new"));
  }  // no EndOnDisk: the run is gone without a word

  EXPECT_EQ(RecoverAbandonedRun(scratch_.path()), RecoveryOutcome::Undone);
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(userFile, bytes));
  EXPECT_EQ(bytes, "the user's");
  ASSERT_TRUE(ReadFileBytes(otherUserFile, bytes));
  EXPECT_EQ(bytes, "the user's other");
  EXPECT_FALSE(FolderExists(install + "\\Skins"));
  EXPECT_EQ(NamesIn(install), (std::vector<std::string>{"c.dll", "d.dll"}))
      << "no aside folder left";
  EXPECT_EQ(ReadRegistryString("SOFTWARE\\VantorexTest", "kept"), "before");
  EXPECT_FALSE(ReadRegistryString("SOFTWARE\\VantorexTest", "added").has_value());
  EXPECT_FALSE(FileExists(RunJournalIn(scratch_.path())));
  EXPECT_EQ(RecoverAbandonedRun(scratch_.path()), RecoveryOutcome::NoJournal);
}

}  // namespace
}  // namespace vx::test
