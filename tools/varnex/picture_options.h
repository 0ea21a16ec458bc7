// The parameters that shape pictures: panel size, columns, highlight.
#pragma once

#include "kvsystem/parameters.h"
#include "varnex/pictures.h"

namespace VarnexCli {

// Declares "-panel WxH" and "-columns N".
void AddPictureLayout(KvSystem::KvInterface& itf);
// Declares "-highlight" (mcs, bits, none) and "-mcstime" with the layout's.
void AddHitPictureOptions(KvSystem::KvInterface& itf);
// Reads "-panel" and "-columns"; false after a message naming `command`
// when the panel is not WIDTHxHEIGHT within the legal sizes.
bool ReadPictureLayout(const KvSystem::KvInterface& itf, const char* command, Varnex::KvPictureLayout& layout);
// The same with "-highlight" and "-mcstime".
bool ReadHitPictureOptions(const KvSystem::KvInterface& itf, const char* command, Varnex::KvHitGridOptions& options);

}  // namespace VarnexCli
