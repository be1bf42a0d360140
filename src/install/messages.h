// The window messages between the install worker and the wizard window, the
// step codes they carry and the worker modes. The numbers are the protocol:
// the worker only ever posts them (PostMessageA), it never waits for the
// window, except for the completion relay below.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vx {

// ---------------------------------------------------------------- messages
// Posted by the worker after each item is written and dated.
// wParam: bytes written so far, this item included; lParam: the item's
// 0-based index in the worker's Items.
inline constexpr UINT WM_INST_PROGRESS = 5030;
// Posted by the worker at each phase (and by the window to itself).
// wParam: PackageSize or 0; lParam: step code (kStep... below).
inline constexpr UINT WM_INST_STEP = 5031;
// Posted by the worker's destructor. wParam 0, lParam 0.
inline constexpr UINT WM_INST_FREED = 5033;
// Posted by the worker when unpacking fails; the worker is halted for good
// afterwards. wParam: the negative code (read it as
// static_cast<int32_t>(wParam)); lParam: index of the item being processed
// (0 before the copy loop).
inline constexpr UINT WM_INST_ERROR = 5034;
// Posted by the window to itself from its completion callback.
// wParam: the worker's Mode; lParam: its ResultCode.
inline constexpr UINT WM_INST_DONE = 5035;
// Completion relay, private to the worker module: the worker posts it when
// its run has ended and waits. The window procedure must hand it on with
//   case WM_INST_ENDED: TVXInstallThread::DeliverCompletion(lParam); return 0;
// which runs the worker's completion callback on the window's thread and
// then lets the worker finish. wParam 0; lParam identifies the worker.
inline constexpr UINT WM_INST_ENDED = 5036;

// ---------------------------------------------------------------- step codes
// lParam of WM_INST_STEP: the phase the window shows as a caption.
inline constexpr int32_t kStepExtracting = 100;      // also: install folder ready
inline constexpr int32_t kStepCreatingFolders = 150; // PackageSize is readable now
inline constexpr int32_t kStepCopyingFiles = 200;
inline constexpr int32_t kStepUpdatingRegistry = 300;
inline constexpr int32_t kStepCopyingSamples = 350;  // no sender
inline constexpr int32_t kStepCreatingShortcuts = 400;
inline constexpr int32_t kStepShortcutsDone = 500;
inline constexpr int32_t kStepCleaningDisk = 800;    // no sender
inline constexpr int32_t kStepRemoving = 850;        // no sender

// ---------------------------------------------------------------- modes
// The worker's Mode; travels as wParam of WM_INST_DONE.
inline constexpr int32_t ModeInstall = 100;
inline constexpr int32_t ModeRollback = 200;
inline constexpr int32_t ModeCancelled = 210;  // set by the window on a confirmed cancel

}  // namespace vx
