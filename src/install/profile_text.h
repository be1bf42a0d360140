// An ini file held as text in exactly the form the Windows profile functions
// (WritePrivateProfileStringA) write it, so that a batch of entries can be
// merged in memory and written with one write instead of one profile call,
// one re-read and one rewrite of the whole file per entry, and read with one
// read instead of one profile call and one re-read per entry.
//
// Only a file the profile functions would write back unchanged is accepted:
// every line ends with CR LF, sections are "[name]" lines and entries
// "key=value" lines with nothing to trim at their edges, no entry stands
// before the first section, no section name appears twice and no key twice
// within a section (letter case ignored, as the profile functions compare).
// Between sections there is either exactly one empty line before each
// section line (the first included) or no empty line at all: the two layouts
// the profile functions produce. Anything else, a byte-order mark among it,
// is refused, and the caller leaves the file to the profile functions.
//
// Reading gives what the profile functions read from such a file, but for
// the quotes they strip around a value.
//
// Merging follows the profile functions: a key that exists (letter case
// ignored) keeps its spelling and its place and takes the new value; a new key
// goes to the end of its section; a new section goes to the end of the file.
// Portable code: no Windows calls.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vx {

class ProfileText {
 public:
  enum class Layout {
    None,                    // no section yet: nothing shows the layout
    EmptyLineBeforeSection,  // "\r\n[name]\r\n" for every section
    NoEmptyLines,            // "[name]\r\n" for every section
  };

  // Reads a file's text; false when it is not in a form this class writes
  // back byte for byte. An empty text is an empty file without a layout.
  bool Parse(std::string_view text);
  // A section of that name exists (letter case ignored).
  bool HasSection(std::string_view section) const;
  // Sets an entry of an existing section; false when there is no such
  // section or the key or value cannot stand in the file as given.
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  // Appends a new section with its first entry; false when the section
  // exists or a name or the value cannot stand in the file as given.
  bool AddSection(std::string_view section, std::string_view key, std::string_view value);
  // The file's text in its layout.
  std::string Text() const;

  // The keys of a section in file order, as stored; none when there is no
  // such section (letter case ignored).
  std::vector<std::string_view> Keys(std::string_view section) const;
  // An entry's value as stored (the profile functions' reading strips one
  // pair of quotes around it); nothing when there is no such entry.
  std::optional<std::string_view> Value(std::string_view section, std::string_view key) const;

  Layout layout() const { return layout_; }
  void set_layout(Layout layout) { layout_ = layout; }

  // A section name or key the profile functions store as given: printable,
  // ASCII (so letter case compares the same everywhere), nothing they trim,
  // no "=" in a key, no brackets in a section name, no ";" in front.
  static bool IsPlainName(std::string_view name, bool isSection);
  // A value the profile functions store as given: no control characters and
  // nothing they trim at its edges.
  static bool IsPlainValue(std::string_view value);

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
    std::unordered_map<std::string, size_t> byKey;  // lower-case key -> index
  };
  // Appends a section without entries; false when the name is taken or
  // cannot stand in the file as given.
  bool OpenSection(std::string_view section);
  Section* Find(std::string_view section);
  const Section* Find(std::string_view section) const;

  Layout layout_ = Layout::None;
  std::vector<Section> sections_;
  std::unordered_map<std::string, size_t> bySection_;  // lower-case name -> index
};

}  // namespace vx
