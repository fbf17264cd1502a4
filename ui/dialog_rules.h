// The decisions of the main dialog that need no window: its texts, whether
// the folder browser is offered, and when the progress meter replaces the
// status line.
#pragma once

#include "platform/types.h"

// A file name of more characters than this is not quoted in the introduction
// text.
const uint32_t kLongestIntroducedName = 24;

// The meter timer: it fires once, half a second into a pass.
const uintptr_t kMeterTimerId = 69;
const uint32_t kMeterTimerPeriod = 500;
// An archive whose end record lies this far into the file or beyond shows
// the meter from the start of a pass.
const uint32_t kMeterAtOnceOffset = 0x80000;

// True on the ANSI code pages whose texts need the CJK font: 874, 932, 936,
// 949 and 950.
bool IsCjkCodePage(uint32_t codePage);

// True when the system's version (GetVersion) is 4 or later: the shell has the
// folder browser.
bool HasShellVersion(uint32_t version);

// The name the introduction text quotes: `fileName` itself up to 24
// characters, otherwise kMessageThisFile "this self-extractor file".
const char* IntroducedName(const char* fileName);

// kIntroductionControl's text (kMessageIntroductionShort with the introduced name) into `buffer`
// (at least 500 bytes).
void FormatIntroduction(char* buffer, const char* fileName);

// The dialog's caption into `buffer` (at least 500 bytes): "Arcula
// Self-Extractor - " and the whole file name; with kFlagTitleCaption
// the title instead, or kMessageSetup "Setup" when the title is empty.
void FormatCaption(char* buffer, const char* fileName, uint32_t flags, const char* title);

// True when a pass waits for the meter timer before it shows the meter: a
// single-volume archive whose end record lies before 512 KiB. Otherwise the
// meter is shown as the pass starts.
bool WaitsForMeterTimer(uint32_t endRecordOffset, uint32_t flags);

// On the meter timer's tick: true when the meter is to be shown now, that is
// while a pass runs with less than a third of its bytes written (a pass
// about to end would only flash it).
bool ShowsMeterOnTick(bool meterExists, bool passRunning, uint32_t bytesDone, uint32_t totalSize);
