#pragma once
// The kernel headers of mingw-w64 for C++ drivers. wdm.h defines InterlockedBitTestAndSet
// and InterlockedBitTestAndReset once more after <intrin.h> has, which C++ refuses: with
// <intrin.h> in first, wdm.h's copies get names of their own.

#include <intrin.h>
#define InterlockedBitTestAndSet WdmInterlockedBitTestAndSet
#define InterlockedBitTestAndReset WdmInterlockedBitTestAndReset
#include <ntifs.h>
#include <wdmsec.h>
#undef InterlockedBitTestAndSet
#undef InterlockedBitTestAndReset
