// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320, preset to all
// ones, result complemented). Users do their own preset and final complement:
//   g_runningCrc = 0xFFFFFFFF; UpdateCrc(...) per range; crc = 0xFFFFFFFF - g_runningCrc.
#pragma once

#include "platform/types.h"

// The standard 256-entry table, built at start-up. The decryption key
// schedule reads it directly, so it stays the plain byte-at-a-time table.
extern uint32_t g_crcTable[256];

// The value UpdateCrc advances; one check at a time.
extern uint32_t g_runningCrc;

// True when UpdateCrc folds with carry-less multiplication (BuildCrcTable
// asks the processor); false, it takes the tables only.
extern bool g_crcFolds;

uint32_t CrcTableEntry(uint32_t byteValue);

// Fills g_crcTable (and the derived tables and multipliers UpdateCrc uses
// for speed) and sets g_crcFolds.
void BuildCrcTable();

// Advances g_runningCrc over `count` bytes in address order.
void UpdateCrc(const uint8_t* bytes, uint32_t count);

// One byte step of the table: what the decryption keys use.
inline uint32_t CrcStep(uint32_t value, uint8_t byte) {
  return (value >> 8) ^ g_crcTable[(value ^ byte) & 0xFF];
}
