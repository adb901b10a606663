#pragma once

#include <stdexcept>
#include <string>

namespace quillane {

// Every error the program reports carries the text the user will see.
class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

#define QUILLANE_EXCEPTION(Name)                                                                   \
  class Name : public Exception {                                                                  \
  public:                                                                                          \
    using Exception::Exception;                                                                    \
  }

// Format families.
QUILLANE_EXCEPTION(EDesignData);
QUILLANE_EXCEPTION(ETuftFile);
QUILLANE_EXCEPTION(ECmcFile);
QUILLANE_EXCEPTION(ENedFile);

// Stand-ins for the platform's stream, conversion and assertion errors.
QUILLANE_EXCEPTION(EStreamError);
QUILLANE_EXCEPTION(EConvertError);
QUILLANE_EXCEPTION(ERangeError);
QUILLANE_EXCEPTION(EAssertionFailed);

#undef QUILLANE_EXCEPTION

class EReadError : public EStreamError {
public:
  EReadError() : EStreamError("Stream read error") {}
  using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
  EWriteError() : EStreamError("Stream write error") {}
  using EStreamError::EStreamError;
};

class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

} // namespace quillane
