// The file calls the stub reads and writes with. Paths are UTF-8; both '\'
// and '/' separate components.
#pragma once

#include "platform/types.h"

// Open modes of SysOpen: reading, with others allowed to read only, or also
// to write.
const uint32_t kOpenRead = 0x00;
const uint32_t kOpenShareDenyWrite = 0x20;
const uint32_t kOpenShareDenyNone = 0x40;

// Seek origins of SysSeek.
const int kSeekBegin = 0;
const int kSeekCurrent = 1;
const int kSeekEnd = 2;

FileHandle SysOpen(const char* path, uint32_t mode);       // -1 on failure
FileHandle SysCreate(const char* path);                     // created or truncated; -1 on failure

// What SysCreateBelow gives when a folder on the way is a link.
const FileHandle kFileLink = -2;

// Creates the file at `path` afresh for writing, others allowed to read it
// meanwhile. What is at the path already is removed first, not written
// into: a hard link there keeps the bytes of the file it shares. The first
// `trustedLength` bytes of the path (the target folder, which may itself be a
// link) are taken as they are; every folder behind them is opened without
// following a link and held while the file is made, so that a folder swapped
// for a link after a look at it cannot carry the file elsewhere. -1 on
// failure (an item that cannot be removed, a file on the way); kFileLink when
// a folder on the way is a link, with *linkLength set to the length of the
// path up to that link.
FileHandle SysCreateBelow(const char* path, uint32_t trustedLength, uint32_t* linkLength);
// Removes the file at `path`, going through no link behind its first
// `trustedLength` bytes, as SysCreateBelow does. False when it stays.
bool SysDeleteBelow(const char* path, uint32_t trustedLength);

int32_t SysRead(FileHandle file, void* buffer, uint32_t count);         // bytes read, -1 on failure
int32_t SysWrite(FileHandle file, const void* buffer, uint32_t count);  // bytes written, -1 on failure
int32_t SysSeek(FileHandle file, int32_t offset, int origin);  // new position, -1 on failure
void SysClose(FileHandle file);

// Sets the creation, last-access and last-write times of an open file from a
// DOS date and time in local time. Failures are not reported.
void SysSetFileDosTime(FileHandle file, uint16_t dosDate, uint16_t dosTime);
