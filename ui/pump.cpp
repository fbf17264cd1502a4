#include "ui/pump.h"

// Until the main dialog exists there is nothing to pump and nobody to cancel.
int PumpMessages() { return 0; }
