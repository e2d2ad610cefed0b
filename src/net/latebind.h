#pragma once
// Binding of system functions at their first call: a missing library or
// function does not stop the program from starting; it raises an error that
// names what is missing at the first call of that function.
#include <cstdint>
#include <string>

#include "common/exception.h"

namespace vhb {

class EJwaError : public Exception {
public:
    using Exception::Exception;
};

class EJwaLoadLibraryError : public EJwaError {
public:
    using EJwaError::EJwaError;
};

class EJwaGetProcAddressError : public EJwaError {
public:
    using EJwaError::EJwaError;
};

// Fills `slot` with the address of `functionName` in `libraryName` unless it
// is filled already. A library that is already loaded is used as it is;
// otherwise it is loaded and stays loaded. Raises EJwaLoadLibraryError
// ("Library not found: <lib>") or EJwaGetProcAddressError
// ("Function not found: <lib>.<function>"); a failed binding leaves the slot
// empty, so the next call tries again.
void BindProcedure(void*& slot, const char* libraryName, const char* functionName);

// The failure test of a 32-bit result code: all bits set when the code is
// negative, 0 otherwise.
uint32_t IsFailureCode(int32_t code);

}  // namespace vhb
