// What one install run is asked to do: made once by the wizard after the
// folder page accepted the folder, and handed to the worker by value when it
// is created. The worker never changes it.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace vx {

// What the install writes of a Java tool the wizard picked.
struct PickedTool {
  std::string folder;   // the JDK's home, the toolkit's root
  std::string version;
};

struct InstallRequest {
  InstallRequest() = default;
  explicit InstallRequest(std::string folder, bool folderMustBeNew = false,
                          std::optional<PickedTool> pickedJdk = std::nullopt,
                          std::optional<PickedTool> pickedToolkit = std::nullopt)
      : installFolder(std::move(folder)),
        installFolderMustBeNew(folderMustBeNew),
        jdk(std::move(pickedJdk)),
        toolkit(std::move(pickedToolkit)) {}

  // The install folder as NormalizedInstallFolder gives it (no trailing
  // backslash); the worker normalizes what it is given once more, which
  // changes nothing for a folder already normalized.
  std::string installFolder;
  // The folder page found the folder missing: the run makes it, and stops
  // with kUnpackFolderNotTrusted when it exists by then.
  bool installFolderMustBeNew = false;
  // The picked JDK and wireless toolkit; empty: none was picked.
  std::optional<PickedTool> jdk;
  std::optional<PickedTool> toolkit;
};

}  // namespace vx
