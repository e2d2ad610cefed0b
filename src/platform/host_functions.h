#pragma once
// The host functions that the local address search binds at their first
// call: one address slot each, with the library and function names to bind
// it from. The names are variables so that a test can name a library or a
// function that does not exist.
namespace vhb::platform {

struct BoundFunction {
    void* slot;
    const char* lib;
    const char* fn;
};

// In the order the stubs are laid out.
extern BoundFunction InetNtoaFunction;
extern BoundFunction GetHostByNameFunction;
extern BoundFunction GetHostNameFunction;

}  // namespace vhb::platform
