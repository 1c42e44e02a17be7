// The functions the plugin library exports to the host, by their undecorated names: the one
// list that the library's .def file, the checks of the built library and the host-side test
// programs are made from. One name a line, as "  X(name)": the build and the scripts read it.
#pragma once

#define QB_PLUGIN_EXPORTS(X)    \
  X(FsInit)                     \
  X(FsInitW)                    \
  X(FsGetDefRootName)           \
  X(FsFindFirstW)               \
  X(FsFindNextW)                \
  X(FsFindClose)                \
  X(FsFindFirst)                \
  X(FsFindNext)                 \
  X(FsGetFileW)                 \
  X(FsGetFile)                  \
  X(FsExecuteFileW)             \
  X(FsExecuteFile)              \
  X(FsExtractCustomIconW)       \
  X(FsExtractCustomIcon)        \
  X(FsContentGetSupportedField) \
  X(FsContentGetDefaultViewW)   \
  X(FsContentGetDefaultView)    \
  X(FsContentGetValueW)         \
  X(FsContentGetValue)          \
  X(FsSetDefaultParams)
