// The product's constants: registry paths, file names, addresses and every
// text the setup shows. Texts are Windows-1252; the trademark sign is the
// single byte 0x99 and "\r" is one carriage return.
#pragma once

namespace vx {

// ---------------------------------------------------------------- product
inline constexpr char kWizardClassName[] = "TfrmInstVXLite";
inline constexpr char kProductWindowClassName[] = "TKesVXMainMDIFrm";
inline constexpr char kApplicationTitle[] = "Vantorex LITE - Setup";
inline constexpr char kWindowCaption[] = "Vantorex\x99 LITE - Setup";
inline constexpr char kSetupFileVersion[] = "1.2.0.7";

inline constexpr char kDefaultFolderName[] = "VantorexLite";    // under Program Files
inline constexpr char kFallbackInstallFolder[] = "C:\\VantorexLite";
inline constexpr char kProductExeName[] = "vxlite.exe";
inline constexpr char kLauncherExeName[] = "vxlancelite.exe";
inline constexpr char kUninstallExeName[] = "uninstallvxlite.exe";  // compared without case
inline constexpr char kProjectsSubfolder[] = "\\Projects";
inline constexpr char kReopenIniName[] = "reopen.ini";
inline constexpr char kLinkName[] = "VantorexLite";               // + ".lnk"
inline constexpr char kLinkFileExtension[] = ".lnk";
// Finish-page code when the install ended well but left no product executable.
inline constexpr int kProductExeMissingCode = -312;
inline constexpr char kProgramGroupName[] = "VantorexLite";
inline constexpr char kQuickLaunchSubpath[] = "\\Microsoft\\Internet Explorer\\Quick Launch";

// ---------------------------------------------------------------- resources
inline constexpr char kPackageResourceName[] = "VXPACK";
// The SHA-256 of the package as the build wrote it: 64 lower-case hex digits.
inline constexpr char kPackageDigestResourceName[] = "VXPACKSHA256";
inline constexpr char kEulaResourceName[] = "VXEULA";
inline constexpr char kTickGlyphResourceName[] = "BMP_GREEN_TICK";
inline constexpr char kBannerResourceName[] = "VXBANNER";       // BITMAP, 574 x 47
inline constexpr char kIconResourceName[] = "MAINICON";
inline constexpr char kTempPackageFileName[] = "vxpack.pck";
inline constexpr char kTempFallbackFolder[] = "c:\\temp\\";

// ---------------------------------------------------------------- install log
inline constexpr char kLogFileInWindows[] = "\\VXinstall.log";
inline constexpr char kLogFileInInstallFolder[] = "\\install.log";

// ---------------------------------------------------------------- addresses
inline constexpr char kMakerWebAddress[] = "https://www.kestrova.com";
inline constexpr char kProductInfoAddress[] = "https://www.kestrova.com/vantorex/lite";
// Short enough to stay left of the Back button in the button bar.
inline constexpr char kMakerNoticeLine[] = "\xA9 2009 Kestrova srl. All rights reserved.";
inline constexpr char kJdkDownloadAddress[] = "https://www.kestrova.com/vantorex/lite/java/jdk";
inline constexpr char kWtkDownloadAddress[] = "https://www.kestrova.com/vantorex/lite/java/wtk";

// ---------------------------------------------------------------- registry
// The names below; which keys the install writes, with which values, and
// what removes them: common/footprint.h.
// Product settings under HKEY_LOCAL_MACHINE, in the order they are created.
inline constexpr const char* kSettingsKeys[5] = {
    "SOFTWARE\\Kestrova",
    "SOFTWARE\\Kestrova\\VantorexLite",
    "SOFTWARE\\Kestrova\\VantorexLite\\Dialogs",
    "SOFTWARE\\Kestrova\\VantorexLite\\Help",
    "SOFTWARE\\Kestrova\\VantorexLite\\System",
};
inline constexpr int kSettingsKeyHelp = 3;
inline constexpr int kSettingsKeySystem = 4;

inline constexpr char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kUninstallGuid[] = "{5D2E7A41-9B3C-4e68-A1F0-27C4D8B9E615}";
inline constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "{5D2E7A41-9B3C-4e68-A1F0-27C4D8B9E615}";
inline constexpr char kUninstallDisplayName[] = "Vantorex LITE";
// Where Windows keeps the deletions and renames it is to make at its next
// start (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT): pairs of "\??\" paths,
// an empty second one meaning "delete".
inline constexpr char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr char kPendingRenamesValue[] = "PendingFileRenameOperations";
inline constexpr char kPublisher[] = "Kestrova srl";

// File association (HKEY_CLASSES_ROOT) and Explorer choices (HKEY_CURRENT_USER).
inline constexpr char kProjectExtension[] = ".vx5";
inline constexpr char kProjectTypeName[] = "Vantorex Project Desc.";
inline constexpr char kApplicationsKey[] = "Applications\\vxlite.exe";
inline constexpr char kFriendlyAppName[] = "Vantorex Lite - Mobile Java Producer";
inline constexpr char kExplorerFileExtsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
inline constexpr char kFullEditionExeName[] = "vantorex.exe";

// Keys and values the install worker writes besides the names above.
inline constexpr char kProjectExtensionIconKey[] = ".vx5\\DefaultIcon";
inline constexpr char kProjectExtensionOpenKey[] = ".vx5\\Shell\\Open";
inline constexpr char kProjectExtensionCommandKey[] = ".vx5\\Shell\\Open\\Command";
inline constexpr char kProjectOpenVerbText[] = "&Open";
inline constexpr char kIconIndexSuffix[] = ",0";  // after the executable's path
inline constexpr char kApplicationIconKey[] = "Applications\\vxlite.exe\\DefaultIcon";
inline constexpr char kApplicationShellKey[] = "Applications\\vxlite.exe\\shell";
inline constexpr char kApplicationOpenKey[] = "Applications\\vxlite.exe\\shell\\open";
inline constexpr char kApplicationCommandKey[] = "Applications\\vxlite.exe\\shell\\open\\command";
inline constexpr char kApplicationTypesKey[] = "Applications\\vxlite.exe\\SupportedTypes";
inline constexpr char kApplicationDefaultVerb[] = "open";
inline constexpr char kApplicationOpenVerbText[] = "&Open Vantorex Lite";
inline constexpr char kFriendlyAppNameValue[] = "FriendlyAppName";
inline constexpr char kOpenWithListKey[] = "OpenWithList";
inline constexpr char kOpenWithProgidsKey[] = "OpenWithProgids";
inline constexpr char kUserChoiceKey[] = "UserChoice";
inline constexpr char kUserChoiceProgidValue[] = "Progid";
inline constexpr char kOpenWithMruValue[] = "MRUList";
inline constexpr char kOpenWithMruOrder[] = "ab";  // "a" = full edition, "b" = this one
// Removed by a rollback though the install never writes them.
inline constexpr char kClassIdKey[] = "{5D2E7A41-9B3C-4e68-A1F0-27C4D8B9E615}";
inline constexpr char kLauncherApplicationsKey[] = "Applications\\vxlancelite.exe";
// Settings values (under kSettingsKeys[kSettingsKeyHelp] and [kSettingsKeySystem]).
inline constexpr char kSettingJavaHome[] = "JavaHome";
inline constexpr char kSettingJavaVersion[] = "JavaVersion";
inline constexpr char kSettingRootWtk[] = "RootWTK";
inline constexpr char kSettingWtkVersion[] = "WTKVersion";
// Install log sections and keys.
inline constexpr char kLogSectionDocument[] = "Document";
inline constexpr char kLogSectionFolders[] = "Folders";
inline constexpr char kLogSectionFiles[] = "Files";
inline constexpr char kLogEntryPrefix[] = "Id_";

// Java tools registered by their own installers (HKEY_LOCAL_MACHINE).
inline constexpr char kJdkRegistryKey[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
inline constexpr char kJ2meToolkitKey[] =
    "SOFTWARE\\Sun Microsystems, Inc.\\J2ME Wireless Toolkit";
inline constexpr char kSunJavaToolkitKey[] =
    "SOFTWARE\\Sun Microsystems, Inc.\\Sun Java Wireless Toolkit";
inline constexpr char kJdkHomeValue[] = "JavaHome";      // under each version subkey
inline constexpr char kWtkFolderValue[] = "InstallDir";  // under each version subkey

// What makes a registered Java tool usable, relative to its folder.
inline constexpr char kJdkCompilerFile[] = "\\bin\\javac.exe";
inline constexpr char kWtkPreverifierFile[] = "\\bin\\preverify.exe";
inline constexpr char kWtkEmulatorFile[] = "\\bin\\emulator.exe";
inline constexpr char kWtkCldcLibraryFile[] = "\\lib\\cldcapi10.jar";
inline constexpr char kWtkMidpLibraryFile[] = "\\lib\\midpapi20.jar";
inline constexpr char kWtkDevicesFolder[] = "\\wtklib\\devices";
inline constexpr char kWtkDeviceProfileExtension[] = ".properties";
// Oldest versions the product works with, compared as byte strings.
inline constexpr char kJdkMinimumVersion[] = "1.5";
inline constexpr char kWtkMinimumVersion[] = "2.5";

// ---------------------------------------------------------------- window texts
namespace text {
inline constexpr char kWelcome[] = "Welcome to the Vantorex Lite - Setup Wizard";
inline constexpr char kSelectFolder[] = "Select folder to install";
inline constexpr char kBrowse[] = "Browse...";
inline constexpr char kPleaseWait[] =
    "Please wait while Setup is installing Vantorex\x99 Lite on your computer";
inline constexpr char kBack[] = "< &Back";
inline constexpr char kNext[] = "&Next >";
inline constexpr char kIntroFormat[] =
    "This setup program will install Vantorex\x99 Lite ver %s on your computer.\r"
    "It is recomended that you close all other applications before continuing\r";
inline constexpr char kOptions[] = "Click Next to continue, or Exit to exit Setup";
inline constexpr char kExit[] = "E&xit";
inline constexpr char kAcceptEula[] = "&Yes, I accept the License Agreement above";
inline constexpr char kRunNow[] = "Run Vantorex\x99 Lite now!";
inline constexpr char kJavaNote[] =
    "Please note that Vantorex requires following Sun Java\x99 software to be installed on "
    "your computer";
inline constexpr char kJdkRequirement[] = "- Java Development Kit (JDK) ver. 1.5 (or higher)";
inline constexpr char kWtkRequirement[] = "- Java Wireless Toolkit (WTK) ver. 2.5.2 (or higher)";
inline constexpr char kLinkHintPrefix[] = "link to download page (";
inline constexpr char kLinkHintSuffix[] = ")";
inline constexpr char kNoteCaption[] = "  NOTE  ";
inline constexpr char kInstall[] = "&Install";
inline constexpr char kFinish[] = "&Finish";
inline constexpr char kClose[] = "&Close";
inline constexpr char kCannotProceed[] = "Installation can not proceed.";
inline constexpr char kAlreadyInstalled[] =
    "Vantorex\x99 Lite is already installed on this computer.";
inline constexpr char kAlreadyRunning[] =
    "Vantorex\x99 Lite is currently running on this computer.";
inline constexpr char kAbortQuestion[] = "Are you sure you want to abort the installation?";
inline constexpr char kCancelledInfo[] =
    "Vantorex\x99 Lite installation is cancelled.\rSetup Program will perform cleanup of copied "
    "files.";
inline constexpr char kExtractingPackage[] = " Extracting installation package...";
inline constexpr char kFinished[] = "Setup has finished installing Vantorex Lite on your computer";
inline constexpr char kFinishedWithCodeFormat[] =
    "Setup has finished installing Vantorex Lite on your computer. (err.code=%d)";
inline constexpr char kCancelledByUserPrefix[] =
    "Installation of Vantorex\x99 Lite is cancelled by user! (Code=";
inline constexpr char kUserCancelled[] = "User cancelled installation.";
// Page 5 after a damaged package (no longer than the finish line above: the
// label is one line, sized to its text).
inline constexpr char kPackageDamagedFormat[] =
    "The installation package is damaged: nothing was installed. (err.code=%d)";
inline constexpr char kInstallErrorFormat[] =
    "An error occurred during installation process. Error Code = %d";
inline constexpr char kInitialFileLabel[] = ".../...";
inline constexpr char kFolderDialogTitle[] = "Select folder to install";

// The agreement the licence page shows when the "VXEULA" resource is missing,
// empty or unreadable. Lines end with CR LF, as the licence edit needs them.
inline constexpr char kBuiltInAgreement[] =
    "VANTOREX\x99 LITE - END USER LICENSE AGREEMENT\r\n"
    "\r\n"
    "Please read this agreement carefully before installing the software.\r\n"
    "\r\n"
    "1. Kestrova srl grants you a non-exclusive licence to install and use one copy of "
    "Vantorex\x99 Lite on any number of computers that you own or control.\r\n"
    "\r\n"
    "2. You may not rent, lease or sell the software, nor remove the notices it "
    "carries.\r\n"
    "\r\n"
    "3. The software is provided \"as is\", without warranty of any kind. Kestrova srl "
    "is not liable for any damage that arises from its use.\r\n"
    "\r\n"
    "4. This agreement ends when you remove the software from your computers.\r\n"
    "\r\n"
    "By ticking the box below you accept this agreement.\r\n";

// Step captions of the progress box, by step code.
inline constexpr char kStepExtracting[] = "  Extracting package... ";
inline constexpr char kStepCreatingFolders[] = "  Creating folders... ";
inline constexpr char kStepCopyingFiles[] = "  Copying files... ";
inline constexpr char kStepUpdatingRegistry[] = "  Updating registry entries... ";
inline constexpr char kStepCopyingSamples[] = "  Copying sample projects... ";
inline constexpr char kStepCreatingShortcuts[] = "  Creating shortcuts... ";
inline constexpr char kStepCleaningDisk[] = "  Cleaning disk of installed components... ";
inline constexpr char kStepRemoving[] = "  Removing installed components... ";

// Install folder messages.
inline constexpr char kFolderErrorStart[] = "Install folder \"";
inline constexpr char kFolderErrorMiddle[] = "\" has no valid drive or it is not valid path";
inline constexpr char kInvalidPathFormat[] = "\"%s\" is invalid path.";
inline constexpr char kDriveTypeUnknown[] = "The drive type cannot be determined.";
inline constexpr char kNoRootDirectory[] = "The root directory does not exist.";
inline constexpr char kCdromDrive[] = "The drive is a CD-ROM drive.";
inline constexpr char kInvalidDriveFormat[] = "Invalid drive \"%s\". System Error Code=%d";
inline constexpr char kNotEnoughSpaceFormat[] =
    "Not enough free disk space on drive \"%s\". Available space=%d MB";
inline constexpr char kCannotCreateFormat[] = "Folder \"%s\" cannot be created";
// Refuses a folder so long that the full path of an item would pass what the
// setup can write (%d: that path's length, then the limit).
// Refuses a folder whose path leads somewhere else than it says, and an
// existing folder that standard users may change: the setup runs as an
// administrator, and what it puts there is started as one.
inline constexpr char kFolderIsLink[] =
    "The folder is a link to another place, or lies inside one: choose a folder that is not.";
inline constexpr char kFolderUsersCanChange[] =
    "Other users of this computer can change the folder: choose a new folder, or one inside "
    "Program Files.";
inline constexpr char kFolderTooLongFormat[] =
    "The folder name is too long: a file of the product would get a path of %d characters, "
    "longer than the %d Windows allows.";
}  // namespace text

// ---------------------------------------------------------------- the product's programs
// The sample product the setup installs: its main program ("vxlite.exe"), the
// launcher the ".vx5" association starts ("vxlancelite.exe") and the uninstall
// program the uninstall record names.
inline constexpr char kProductTitle[] = "Vantorex\x99 Lite";
// Settings the main program shows, from kSettingsKeys[kSettingsKeySystem].
inline constexpr const char* kShownSettingNames[5] = {
    "OpenProject", kSettingJavaHome, kSettingJavaVersion, kSettingRootWtk, kSettingWtkVersion};
// WM_COPYDATA code with which the launcher hands a project path to the
// running main program ("VX5P").
inline constexpr unsigned long kOpenProjectDataCode = 0x56583550UL;
inline constexpr int kProjectPreviewLines = 8;

// Uninstall program: switches and exit codes.
inline constexpr char kSilentSwitch[] = "/S";
// The run logs' titles: "<title> <yyyymmdd-hhmmss>.log" under the temporary folder.
inline constexpr char kSetupLogTitle[] = "VantorexLite Setup";
inline constexpr char kUninstallLogTitle[] = "VantorexLite Uninstall";
inline constexpr char kSelfRemovalSwitch[] = "/cleanup";  // the temporary helper copy's mode
// The helper copy: a private folder of its own under the temporary folder.
inline constexpr char kUninstallHelperFolderPrefix[] = "vxuninst-";
inline constexpr char kUninstallHelperName[] = "vxuhelper.exe";
inline constexpr int kUninstallExitDone = 0;        // everything named was removed
inline constexpr int kUninstallExitIncomplete = 1;  // something is left; the report says what
inline constexpr int kUninstallExitDeclined = 2;    // the user said no; nothing was touched
inline constexpr int kUninstallExitProductRunning = 3;

namespace text {
inline constexpr char kUninstallCaption[] = "Vantorex LITE - Uninstall";
inline constexpr char kUninstallQuestion[] =
    "Do you want to remove Vantorex\x99 Lite and all of its components from your computer?";
inline constexpr char kUninstallProductRunning[] =
    "Vantorex\x99 Lite is running. Close it, then start the uninstall again.";
inline constexpr char kUninstallDone[] = "Vantorex\x99 Lite was removed from your computer.";
inline constexpr char kUninstallLeftIntro[] =
    "Vantorex\x99 Lite was removed from your computer, except for the following:";
inline constexpr char kUninstallNoLog[] =
    "The install log was not found: the installed files were not removed.";
inline constexpr char kUninstallInstallFolder[] = "Install folder: ";
inline constexpr char kUninstallLogIncomplete[] =
    "The install log is incomplete. Entries it counts but does not hold: ";
inline constexpr char kUninstallLogNoCount[] =
    "The install log does not say how many entries it holds; all found were used: ";
inline constexpr char kUninstallFileLeft[] = "File not deleted: ";
inline constexpr char kUninstallFolderLeft[] = "Folder not removed: ";
inline constexpr char kUninstallFolderKept[] = "Folder kept, it holds other files: ";
inline constexpr char kUninstallKeyLeft[] = "Registry key not removed: ";
inline constexpr char kUninstallOutside[] = "Not under the install folder, left alone: ";
inline constexpr char kUninstallLinkLeft[] = "A link on the way, not followed, left alone: ";
inline constexpr char kUninstallSelfLeft[] =
    "The uninstall program will be deleted when Windows restarts: ";
inline constexpr char kErrorPrefix[] = " (error ";
inline constexpr char kErrorSuffix[] = ")";
inline constexpr char kMoreLinesPrefix[] = "... and ";
inline constexpr char kMoreLinesSuffix[] = " more.";

inline constexpr char kProductFolderLabel[] = "Program folder: ";
inline constexpr char kProductSettingsLabel[] = "Settings (HKEY_LOCAL_MACHINE\\";
inline constexpr char kProductSettingsMissing[] = "  (the settings key is missing)";
inline constexpr char kProductValueNotSet[] = "(not set)";
inline constexpr char kProductValueNotText[] = "(not a text value)";
inline constexpr char kProductNoProject[] = "No project given.";
inline constexpr char kProductProjectLabel[] = "Project: ";
inline constexpr char kProductProjectUnreadable[] = "  The project file cannot be read";
inline constexpr char kLauncherCannotStart[] = "Vantorex\x99 Lite cannot be started: ";
}  // namespace text

}  // namespace vx
