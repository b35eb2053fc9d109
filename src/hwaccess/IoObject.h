#pragma once
// Base of every hardware object: its handle to the access service and to the debug log.

class TReadWrite;
class TDebugConsole;

class TIoObject {
 public:
  TIoObject();
  virtual ~TIoObject();

 protected:
  TReadWrite& ReadWrite;
  TDebugConsole& Console;
};
