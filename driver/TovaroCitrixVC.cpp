// The driver module's one channel client: the server-message dispatcher, a static object bound to
// the channel "TovUSB" when the library is loaded and destroyed when it is unloaded.
#include "CitrixUSBButtonDeviceManagerClient.h"

namespace {

CCitrixUSBButtonDeviceManagerClient g_dispatcher;

}  // namespace
