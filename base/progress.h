// How a pass shows its progress and hears a cancel. The output sink and the
// overwrite question report through these few calls; the user interface
// defines them (ui/progress.cpp), so that nothing below it knows a window.
// Plain functions rather than pointers: the stub has one user interface.
#pragma once

#include "platform/types.h"

// The pass has turned to the entry whose output is at `outputPath` (a file
// or a folder): the meter names it from its next paint on. Nothing is
// repainted now.
void ShowCurrentEntry(const char* outputPath);

// A file's data starts: "Unzipping NAME" in the status line, unless the
// meter has taken its place.
void ShowUnzipping(const char* outputPath);

// The output passed another meter step: the meter shows bytesDone of the
// total (when it is shown) and repaints.
void ShowMeterStep(uint32_t bytesDone);

// A question is about to interrupt the pass: a shown meter is brought up to
// date first, so that the box does not sit over a stale bar.
void ShowProgressBeforeQuestion();

// Lets the user interface handle what is queued; true when the user has
// confirmed that the pass should stop.
bool PassCancelRequested();
