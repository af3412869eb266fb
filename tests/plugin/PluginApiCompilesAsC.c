/* The browser interface header compiles as plain C, and its layout checks
 * hold there as they do in C++. */
#include "vantessel/PluginApi.h"
