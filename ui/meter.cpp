#include "ui/meter.h"

// The meter control itself arrives with the Windows dialog; until then
// there is no class to register.
void RegisterMeterClass(InstanceHandle instance) { (void)instance; }
