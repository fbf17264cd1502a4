// The stub's messages and dialog templates, held DEFLATE-compressed in its
// data and unpacked at start-up.
#pragma once

#include "platform/types.h"

// Unpacks the string table (messages 0-51, then the main dialog template).
// A failure is fatal (the header-corrupt message).
void LoadResources();

// Message `number` of the unpacked string table (52 is the main dialog
// template). Empty before LoadResources.
const char* MessageText(int number);
