// The host side of the driver's run handlers: nobody to ask for a volume.
#include "driver/run_handlers.h"

bool AskRunVolumeRetry(const std::string&) { return false; }
