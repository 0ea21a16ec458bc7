#include "varnex/info.h"

#ifndef VARNEX_BUILD_TYPE
#define VARNEX_BUILD_TYPE "RELEASE"
#endif

namespace Varnex {
namespace {

#define VARNEX_STRINGIFY2(x) #x
#define VARNEX_STRINGIFY(x) VARNEX_STRINGIFY2(x)

#if defined(__linux__)
#define VARNEX_OS "linux"
#elif defined(__APPLE__)
#define VARNEX_OS "apple-macos"
#elif defined(_WIN64)
#define VARNEX_OS "microsoft-win64"
#else
#define VARNEX_OS "unknown"
#endif

#if defined(__x86_64__) || defined(_M_X64)
#define VARNEX_CPU "x86_64"
#elif defined(__aarch64__)
#define VARNEX_CPU "aarch64"
#else
#define VARNEX_CPU "unknown"
#endif

#if defined(__clang__)
#define VARNEX_COMPILER "clang" VARNEX_STRINGIFY(__clang_major__)
#elif defined(__GNUC__)
#define VARNEX_COMPILER "gcc" VARNEX_STRINGIFY(__GNUC__)
#else
#define VARNEX_COMPILER "unknown"
#endif

constexpr const char* kRelease = "2.7.1.0";
constexpr unsigned kBuildNumber = 20260727;

// Registers the version record when the library is loaded.
const bool kVersionRegistered = KvSystem::KvRegisterVersion(&VarnexVersion);

}  // namespace

unsigned int VarnexGetVersion() { return kBuildNumber; }
const char* VarnexGetRelease() { return kRelease; }
const char* VarnexGetArch() { return VARNEX_OS "-" VARNEX_CPU; }
const char* VarnexGetPlatform() { return VARNEX_OS "-" VARNEX_COMPILER "-" VARNEX_CPU; }
const char* VarnexGetConfigureArgs() { return VARNEX_BUILD_TYPE; }
KvSystem::KvVersion VarnexVersion() { return KvSystem::KvVersion("kvtoolkit", "Varnex", kRelease); }
bool VarnexIsGPUReady() { return false; }

}  // namespace Varnex
