// The functions the library exports to the host, with the host's published prototypes.
#pragma once

#include "plugin/fsplugin.h"

extern "C" {
int QB_STDCALL FsInit(int PluginNr, qb::fs::tProgressProc pProgressProc, qb::fs::tLogProc pLogProc,
                      qb::fs::tRequestProc pRequestProc);
int QB_STDCALL FsInitW(int PluginNr, qb::fs::tProgressProcW pProgressProcW,
                       qb::fs::tLogProcW pLogProcW, qb::fs::tRequestProcW pRequestProcW);
void QB_STDCALL FsGetDefRootName(char* DefRootName, int maxlen);
}
