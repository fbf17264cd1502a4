// Host test helper: a replacement table of the host side's raw calls
// (platform/host/host_calls.h) that numbers every call that can fail, makes
// call N fail, and keeps account of what is opened, created and allocated,
// so that a test can walk a failure through every call site of a run and see
// what each one leaves behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class CallKind { kOpen, kCreate, kRead, kWrite, kSeek, kMakeFolder, kAllocate };

const char* CallKindName(CallKind kind);

// One call that can fail. `path` is the Linux path of the file or folder the
// call works on (empty for allocations); `offset` and `whence` are a seek's.
struct CountedCall {
  CallKind kind = CallKind::kAllocate;
  std::string path;
  int64_t offset = 0;
  int whence = 0;
};

// Puts the counting table in place of the real calls and starts counting
// from zero, with nothing open and nothing allocated. Call `failAt` (from 1;
// 0: none) fails as the system would fail it: an open or a create gives -1,
// a read or a write -1 (EIO, ENOSPC), a seek -1, a folder is not made, an
// allocation gives null.
void StartCountingCalls(uint32_t failAt);

// Puts the real calls back; what was counted stays readable.
void StopCountingCalls();

// The calls that can fail, in the order made, the failed one included.
const std::vector<CountedCall>& CountedCalls();

// True when call `failAt` was reached (and failed).
bool InjectedFailureHappened();

// What is still held of what was opened and allocated while counting.
size_t FilesStillOpen();
size_t BlocksStillAllocated();

// Closes and frees what is still held, so that one leak found stays one
// finding and does not spill into the runs after it.
void ReleaseWhatIsStillHeld();

// Every path a create or a folder creation was tried on, in order.
const std::vector<std::string>& PathsCreated();
