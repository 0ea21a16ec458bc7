// Version and build information of the loaded Varnex library.
// All functions are constant and reentrant; the returned texts are static
// constants owned by the library and never freed by the caller.
#pragma once

#include "kvsystem/platform.h"

namespace Varnex {

// The build number, a decimal date YYYYMMDD.
unsigned int VarnexGetVersion();
// The release, four dot-separated numbers ("2.7.1.0").
const char* VarnexGetRelease();
// Operating-system family and processor of this build, lower case, joined by
// "-" ("linux-x86_64").
const char* VarnexGetArch();
// As VarnexGetArch, with the compiler and its major version inserted before
// the processor ("linux-gcc12-x86_64").
const char* VarnexGetPlatform();
// The build configuration in upper case ("RELEASE").
const char* VarnexGetConfigureArgs();
// The version record: toolkit "kvtoolkit", component "Varnex", the release.
// Registered with KvSystem::KvRegisterVersion when the library is loaded.
KvSystem::KvVersion VarnexVersion();
// Whether a graphics-processor search engine is available (never, in this build).
bool VarnexIsGPUReady();

}  // namespace Varnex
