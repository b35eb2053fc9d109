#include "hwaccess/IoObject.h"

#include "diag/DebugConsole.h"
#include "hwaccess/ReadWrite.h"

TIoObject::TIoObject() : ReadWrite(TReadWrite::Instance()), Console(TDebugConsole::Instance(false)) {}

TIoObject::~TIoObject() = default;
