// The progress meter control.
#pragma once

#include "platform/types.h"

// Registers the meter's window class for the dialog template to use.
void RegisterMeterClass(InstanceHandle instance);
